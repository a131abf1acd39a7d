#include "platform/text/Numbers.h"

#include "platform/text/Scanner.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <locale.h>

namespace flowtally {

double doubleValue(const QString &text) {
    double value = 0;
    Scanner(text).scanDouble(&value);
    return value;
}

qint64 longLongValue(const QString &text) {
    qint64 value = 0;
    Scanner(text).scanInteger(&value);
    return value;
}

qint64 integerValue(const QString &text) {
    return longLongValue(text);
}

namespace {

constexpr unsigned kMostFractionDigits = 100;

locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return locale;
}

// Switches the calling thread to the C locale while it lives.
class CLocaleScope {
  public:
    CLocaleScope() : previous_(uselocale(cLocale())) {}
    ~CLocaleScope() { uselocale(previous_); }
    CLocaleScope(const CLocaleScope &) = delete;
    CLocaleScope &operator=(const CLocaleScope &) = delete;

  private:
    locale_t previous_;
};

} // namespace

double cStringToDouble(const QByteArray &text) {
    return strtod_l(text.constData(), nullptr, cLocale());
}

QString cFixedPoint(double value, unsigned fractionDigits) {
    const int digits = int(std::min(fractionDigits, kMostFractionDigits));
    const CLocaleScope scope;
    // 309 integer digits, sign, point and the fraction fit.
    char buffer[320 + kMostFractionDigits];
    const int length = std::snprintf(buffer, sizeof buffer, "%.*f", digits, value);
    return QString::fromLatin1(buffer, std::clamp<int>(length, 0, int(sizeof buffer) - 1));
}

namespace {

bool isFloatingPoint(const QVariant &value) {
    return value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float;
}

// The whole part of a double as a signed 64-bit number, saturating.
qint64 saturatedWholePart(double d) {
    if (std::isnan(d))
        return 0;
    if (d >= 9223372036854775808.0)
        return std::numeric_limits<qint64>::max();
    if (d <= -9223372036854775808.0)
        return std::numeric_limits<qint64>::min();
    return qint64(d);
}

} // namespace

bool isUnsignedInteger(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::UChar:
    case QMetaType::UShort:
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

bool isSignedInteger(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Short:
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return true;
    default:
        return false;
    }
}

bool isNumber(const QVariant &value) {
    return isUnsignedInteger(value) || isSignedInteger(value) || isFloatingPoint(value);
}

double doubleValueOf(const QVariant &value) {
    if (isNumber(value))
        return value.toDouble();
    if (value.typeId() == QMetaType::QString)
        return doubleValue(value.toString());
    return 0;
}

qint64 integerValueOf(const QVariant &value) {
    if (isSignedInteger(value))
        return value.toLongLong();
    if (isUnsignedInteger(value))
        return qint64(std::min<quint64>(value.toULongLong(), std::numeric_limits<qint64>::max()));
    if (value.typeId() == QMetaType::QString)
        return integerValue(value.toString());
    return saturatedWholePart(doubleValueOf(value));
}

quint64 unsignedLongLongValueOf(const QVariant &value) {
    if (isUnsignedInteger(value))
        return value.toULongLong();
    if (isSignedInteger(value))
        return quint64(std::max<qint64>(value.toLongLong(), 0));
    const double d = doubleValueOf(value);
    if (std::isnan(d) || d <= 0)
        return 0;
    if (d >= 18446744073709551616.0)
        return std::numeric_limits<quint64>::max();
    return quint64(d);
}

quint32 unsignedIntValueOf(const QVariant &value) {
    if (isUnsignedInteger(value))
        return quint32(value.toULongLong());
    if (isSignedInteger(value))
        return quint32(value.toLongLong());
    return quint32(saturatedWholePart(doubleValueOf(value)));
}

} // namespace flowtally
