#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

namespace flowtally {

// Numbers in Flowtally: read from the start of a text, converted to and
// from the C library's forms under the C locale, and read out of values
// held in a QVariant. Safe on any thread.

// ---- Numbers read from the start of a text ----
// The way Flowtally reads typed values and tool output: leading white space
// and line ends are skipped, the leading number is read and anything after
// it is ignored. A text that does not start with a number reads as 0.

// A decimal number with optional sign, fraction and exponent; ±infinity
// when too large for a double.
double doubleValue(const QString &text);
// An optional sign and decimal digits, saturating at the signed 64-bit limits.
qint64 longLongValue(const QString &text);
// The same as longLongValue: Flowtally's integers are 64 bits wide.
qint64 integerValue(const QString &text);

// ---- The C library's conversions under the C locale ----
// Whatever locale the user runs Flowtally in, the point is always '.'.

// strtod of the text.
double cStringToDouble(const QByteArray &text);

// printf's "%.*f": exactly `fractionDigits` digits after the point, none
// and no point for 0, rounded as the C library rounds; "inf", "-inf" or
// "nan" for values that are not finite. At most 100 fraction digits.
QString cFixedPoint(double value, unsigned fractionDigits);

// ---- Numbers held in a QVariant ----
// What a value answers when asked for a number, the way formatters read
// their object values. Conversions never overflow: values outside the
// target's range saturate at its limits and NaN reads as 0.

// True for QVariants of an integer or floating-point type (bool excluded).
bool isNumber(const QVariant &value);
// True for QVariants of a signed or of an unsigned integer type.
bool isSignedInteger(const QVariant &value);
bool isUnsignedInteger(const QVariant &value);

// Numbers as double; texts by their leading number (doubleValue); 0 otherwise.
double doubleValueOf(const QVariant &value);

// The whole part as a signed 64-bit number; texts by their leading integer
// (integerValue).
qint64 integerValueOf(const QVariant &value);

// The whole part as an unsigned 64-bit number; negative values give 0.
quint64 unsignedLongLongValueOf(const QVariant &value);

// The low 32 bits of the whole part, as a C cast of an integer gives them.
quint32 unsignedIntValueOf(const QVariant &value);

} // namespace flowtally
