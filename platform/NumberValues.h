#pragma once

#include <QVariant>

// What a value held in a QVariant answers when asked for a number, the way
// formatters read their object values. Conversions never overflow: values
// outside the target's range saturate at its limits and NaN reads as 0.

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
