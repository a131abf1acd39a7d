#pragma once

#include <QString>

// Numbers read from the start of a text, the way Flowtally reads typed
// values and tool output: leading white space and line ends are skipped,
// the leading number is read and anything after it is ignored. A text that
// does not start with a number reads as 0.

// A decimal number with optional sign, fraction and exponent; ±infinity
// when too large for a double.
double doubleValue(const QString &text);
// An optional sign and decimal digits, saturating at the signed 64-bit limits.
qint64 longLongValue(const QString &text);
// The same as longLongValue: Flowtally's integers are 64 bits wide.
qint64 integerValue(const QString &text);
