#include "WBLib/WBIPFormatter.h"

#include "WBLib/IsValidLocalIP.h"
#include "platform/text/Numbers.h"

#include <cerrno>
#include <cstring>

namespace flowtally {

namespace {

const QString kNoAddressText = QStringLiteral("(NONE)");

} // namespace

std::optional<QString> WBIPFormatter::stringForObjectValue(const QVariant &value) const {
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    if (!isNumber(value))
        return std::nullopt;
    if (unsignedIntValueOf(value) == 0)
        return kNoAddressText;
    return addressWithInetNSNumber(value);
}

bool WBIPFormatter::getObjectValue(QVariant *object, const QString &string,
                                   QString *errorDescription) const {
    if (string.isEmpty() || string == kNoAddressText) {
        if (object)
            *object = QVariant::fromValue(quint32(0));
        return true;
    }
    const QVariant number = inetNSNumber(string);
    if (number.value<quint32>() == 0xFFFFFFFF) {
        if (object)
            *object = QVariant();
        // The C library's message for the thread's current error number.
        if (errorDescription)
            *errorDescription = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    if (object)
        *object = number;
    return true;
}

} // namespace flowtally
