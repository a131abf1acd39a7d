#pragma once

#include <QByteArray>
#include <QString>

// The C library's number conversions under the C locale, whatever locale
// the user runs Flowtally in (the point is always '.'). Safe on any thread.

// strtod of the text.
double cStringToDouble(const QByteArray &text);

// printf's "%.*f": exactly `fractionDigits` digits after the point, none
// and no point for 0, rounded as the C library rounds; "inf", "-inf" or
// "nan" for values that are not finite. At most 100 fraction digits.
QString cFixedPoint(double value, unsigned fractionDigits);
