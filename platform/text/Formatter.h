#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace flowtally {

// Turns a field's object value into the text it shows and typed text back
// into an object value. Formatters are called on the main thread.
class Formatter {
  public:
    virtual ~Formatter() = default;

    // The text for a value, or none when the formatter cannot show it.
    virtual std::optional<QString> stringForObjectValue(const QVariant &value) const = 0;

    // Reads typed text into *object. Answers false when the text is refused;
    // *errorDescription (when asked for) then says why.
    virtual bool getObjectValue(QVariant *object, const QString &string,
                                QString *errorDescription) const = 0;

    // Styled text for a value; none means the field shows the plain string.
    virtual std::optional<QString>
    attributedStringForObjectValue(const QVariant & /*value*/,
                                   const QVariantMap & /*defaultAttributes*/) const {
        return std::nullopt;
    }
};

} // namespace flowtally
