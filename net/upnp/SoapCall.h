#pragma once

#include "platform/system/Status.h"
#include "net/upnp/UpnpReplies.h"

#include <QDeadlineTimer>
#include <QMap>
#include <QString>

namespace flowtally {

// One SOAP action of a router's service, without in-arguments, over
// exchangeHttp (its bounds and its refusals).
struct SoapResult {
    // Success: the answer's out-arguments are in `arguments`.
    Status status;
    // For a failure: the device said no to the action (a SOAP fault, or an
    // HTTP error status), rather than an exchange that failed or an answer
    // of no known shape.
    bool refused = false;
    QMap<QString, QString> arguments;
};

// The request's body: the envelope with the action in the service's
// namespace.
QByteArray soapRequestBody(const QString &serviceType, const QString &action);

SoapResult callSoap(const UpnpService &service, const QString &action, const QString &localAddress,
                    const QDeadlineTimer &deadline);

} // namespace flowtally
