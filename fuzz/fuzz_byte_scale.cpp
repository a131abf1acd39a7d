// Byte counts typed with a unit letter ("250G") and shown scaled ("1.50G").
// The input is the typed text as UTF-8; its first eight bytes are also a
// count to show and its first byte the number of fraction digits.
#include "fuzz/FuzzCheck.h"
#include "platform/text/Numbers.h"
#include "WBLib/WBBKMGTFormatter.h"

#include <cmath>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace flowtally;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const quint64 scale = WBBKMGTFormatter::scaleInString(text);
    fuzzCheck(WBBKMGTFormatter::unitForScale(scale).has_value(), "the scale read has a unit");

    const WBBKMGTFormatter formatter;
    QVariant value;
    QString error;
    fuzzCheck(formatter.getObjectValue(&value, text, &error), "typed text is always taken");
    const double expected = doubleValue(text) * double(scale);
    fuzzCheck(value.toDouble() == expected ||
                  (std::isnan(expected) && std::isnan(value.toDouble())),
              "the leading number times the scale of the unit letter");

    double count = 0;
    std::memcpy(&count, data, std::min(size, sizeof count));
    const unsigned fractionDigits = size > 0 ? data[0] % 8 : 0;
    const QString shown = WBBKMGTFormatter::stringForObjectValue(count, fractionDigits);
    if (!std::isfinite(count) || std::fabs(count) > 1e15)
        return 0;
    QVariant read;
    formatter.getObjectValue(&read, shown, &error);
    const double shownScale = double(WBBKMGTFormatter::scaleForObjectValue(count));
    const double rounding = 0.5 * std::pow(10.0, -double(fractionDigits)) * shownScale;
    fuzzCheck(std::fabs(read.toDouble() - count) <=
                  rounding * (1 + 1e-9) + std::fabs(count) * 1e-12,
              "a count shown reads back within the rounding of its last digit");
    return 0;
}
