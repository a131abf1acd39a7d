#pragma once

#include "platform/text/Formatter.h"

namespace flowtally {

// A formatter of plain numbers: shows a number with at most
// maximumFractionDigits digits after the point (rounded as the C library
// rounds, trailing zeros dropped, no grouping), and reads text that is
// wholly one decimal number.
class NumberFormatter : public Formatter {
  public:
    // The only formatter behaviour Flowtally knows, numbered 1040.
    static constexpr unsigned kBehavior10_4 = 1040;

    std::optional<QString> stringForObjectValue(const QVariant &value) const override;
    bool getObjectValue(QVariant *object, const QString &string,
                        QString *errorDescription) const override;

    unsigned maximumFractionDigits() const { return maximumFractionDigits_; }
    void setMaximumFractionDigits(unsigned digits) { maximumFractionDigits_ = digits; }

    unsigned formatterBehavior() const { return formatterBehavior_; }
    void setFormatterBehavior(unsigned behavior) { formatterBehavior_ = behavior; }

  private:
    unsigned maximumFractionDigits_ = 0;
    unsigned formatterBehavior_ = kBehavior10_4;
};

} // namespace flowtally
