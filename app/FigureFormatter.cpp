#include "app/FigureFormatter.h"

#include "platform/text/Numbers.h"

#include <cmath>

namespace flowtally {

std::optional<QString> nonFiniteFigureText(double value) {
    if (std::isnan(value))
        return QStringLiteral("\u2014");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("\u221E") : QStringLiteral("\u2212\u221E");
    return std::nullopt;
}

FigureFormatter::FigureFormatter(std::unique_ptr<Formatter> numbers, QString unit)
    : numbers_(std::move(numbers)), unit_(std::move(unit)) {}

std::optional<QString> FigureFormatter::stringForObjectValue(const QVariant &value) const {
    if (isNumber(value)) {
        if (std::optional<QString> text = nonFiniteFigureText(value.toDouble()))
            return text;
    }
    const std::optional<QString> text = numbers_->stringForObjectValue(value);
    if (!text)
        return std::nullopt;
    return *text + unit_;
}

bool FigureFormatter::getObjectValue(QVariant *object, const QString &string,
                                     QString *errorDescription) const {
    return numbers_->getObjectValue(object, string, errorDescription);
}

} // namespace flowtally
