#include "CLocaleNumbers.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

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
