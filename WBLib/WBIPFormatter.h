#pragma once

#include "platform/text/Formatter.h"

namespace flowtally {

// The router address field's formatter. Its values are address numbers
// (QVariant holding a quint32): 0 shows as "(NONE)", others in dotted
// form; a text value shows unchanged. Typed text is read as an address;
// empty text and "(NONE)" read as 0. Any readable address is accepted,
// public ones included; unreadable text and 255.255.255.255 are refused.
class WBIPFormatter : public Formatter {
  public:
    std::optional<QString> stringForObjectValue(const QVariant &value) const override;
    bool getObjectValue(QVariant *object, const QString &string,
                        QString *errorDescription) const override;
};

} // namespace flowtally
