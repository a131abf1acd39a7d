#pragma once

#include "platform/text/Formatter.h"

#include <memory>
#include <optional>

namespace flowtally {

// What a figure shows when it is not a finite number: "∞" for +∞ (a total
// over a limit of 0), "−∞", and "—" for not a number (nothing over a limit
// of 0, or no time since the reset). Nothing for a finite value.
std::optional<QString> nonFiniteFigureText(double value);

// The formatter of a read-only figure field: finite numbers through the
// formatter it wraps, followed by a unit text (" K/s"); values that are not
// finite as nonFiniteFigureText shows them. Reading text is the wrapped
// formatter's.
class FigureFormatter : public Formatter {
  public:
    explicit FigureFormatter(std::unique_ptr<Formatter> numbers, QString unit = QString());

    std::optional<QString> stringForObjectValue(const QVariant &value) const override;
    bool getObjectValue(QVariant *object, const QString &string,
                        QString *errorDescription) const override;

  private:
    std::unique_ptr<Formatter> numbers_;
    QString unit_;
};

} // namespace flowtally
