#include "platform/text/NumberFormatter.h"

#include "platform/text/Numbers.h"
#include "platform/text/Scanner.h"

#include <cmath>

namespace flowtally {

std::optional<QString> NumberFormatter::stringForObjectValue(const QVariant &value) const {
    if (!isNumber(value))
        return std::nullopt;
    const double number = value.toDouble();
    if (std::isnan(number))
        return QStringLiteral("NaN");
    if (std::isinf(number))
        return number > 0 ? QStringLiteral("+\u221E") : QStringLiteral("-\u221E");
    QString text = cFixedPoint(number, maximumFractionDigits_);
    if (text.contains(u'.')) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.'))
            text.chop(1);
    }
    if (text == u"-0")
        text = QStringLiteral("0");
    return text;
}

bool NumberFormatter::getObjectValue(QVariant *object, const QString &string,
                                     QString *errorDescription) const {
    Scanner scanner(string);
    double number = 0;
    if (!scanner.scanDouble(&number) || !scanner.isAtEnd()) {
        if (errorDescription)
            *errorDescription = QStringLiteral("Invalid number");
        return false;
    }
    if (object)
        *object = number;
    if (errorDescription)
        errorDescription->clear();
    return true;
}

} // namespace flowtally
