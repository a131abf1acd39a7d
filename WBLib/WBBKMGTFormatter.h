#pragma once

#include "platform/text/NumberFormatter.h"

#include <optional>

namespace flowtally {

// Byte counts scaled to a power of 1024 and shown with one unit letter
// (1.50G); typed text with a unit letter read back into bytes. The unit
// letters and the table of scale to letter come from the resources
// "ScaleStrings.plist" and "OrderedBKMGTChars.txt", loaded once per process.
class WBBKMGTFormatter : public NumberFormatter {
  public:
    static constexpr quint64 kB = 1;
    static constexpr quint64 kK = quint64(1) << 10;
    static constexpr quint64 kM = quint64(1) << 20;
    static constexpr quint64 kG = quint64(1) << 30;
    static constexpr quint64 kT = quint64(1) << 40;

    WBBKMGTFormatter();

    // The scale to show a value in: the largest unit of which the value's
    // whole part exceeds half, 1 for 0. Logs "gotcha!" for values above 10T.
    // Values that are negative or NaN count as 0, +infinity as the largest.
    static quint64 scaleForObjectValue(const QVariant &value);
    // The scale of the first unit letter in the text, in either case; 1
    // when there is none.
    static quint64 scaleInString(const QString &text);
    // The unit letter of a scale; none for a value that is not a scale.
    static std::optional<QString> unitForScale(quint64 scale);
    // The value in its scale with exactly `maxFracts` fraction digits as
    // printf's "%.*f" writes it, then the unit ("1.50G"). Values that are
    // not finite show as the C library prints them ("infT", "nanB").
    static QString stringForObjectValue(const QVariant &value, unsigned maxFracts);

    // A number (or a text, by its leading number) with maximumFractionDigits
    // digits; nothing for other values.
    std::optional<QString> stringForObjectValue(const QVariant &value) const override;
    // Always accepts: the leading number times the scale of the first unit
    // letter, as a double of bytes.
    bool getObjectValue(QVariant *object, const QString &string,
                        QString *errorDescription) const override;
};

} // namespace flowtally
