#include "net/upnp/SoapCall.h"

#include "net/upnp/HttpExchange.h"

namespace flowtally {

QByteArray soapRequestBody(const QString &serviceType, const QString &action) {
    return QStringLiteral("<?xml version=\"1.0\"?>\r\n"
                          "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                          "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">"
                          "<s:Body><u:%1 xmlns:u=\"%2\"></u:%1></s:Body></s:Envelope>\r\n")
        .arg(action, serviceType.toHtmlEscaped())
        .toUtf8();
}

SoapResult callSoap(const UpnpService &service, const QString &action, const QString &localAddress,
                    const QDeadlineTimer &deadline) {
    HttpRequest request;
    request.method = "POST";
    request.url = service.control;
    QByteArray soapAction = '"' + service.type.toUtf8() + '#' + action.toUtf8() + '"';
    soapAction.replace('\r', ' ').replace('\n', ' ');
    request.headers = {{"Content-Type", "text/xml; charset=\"utf-8\""}, {"SOAPAction", soapAction}};
    request.body = soapRequestBody(service.type, action);

    SoapResult result;
    HttpReply reply;
    const Status exchanged = exchangeHttp(request, localAddress, deadline, &reply);
    if (!exchanged.ok()) {
        result.status =
            exchanged.rephrased(QStringLiteral("%1: %2").arg(action, exchanged.message()));
        return result;
    }
    const SoapAnswer answer = readSoapAnswer(reply.body, action);
    if (answer.kind == SoapAnswer::Kind::Fault || reply.status != 200) {
        // An error status with a fault says why; without one, the status does.
        result.refused = true;
        result.status = Status::refused(QStringLiteral("%1: %2").arg(
            action, answer.kind == SoapAnswer::Kind::Fault
                        ? answer.failure
                        : QStringLiteral("HTTP status %1").arg(reply.status)));
        return result;
    }
    if (answer.kind == SoapAnswer::Kind::Malformed) {
        result.status = Status::corrupt(QStringLiteral("%1: %2").arg(action, answer.failure));
        return result;
    }
    result.arguments = answer.arguments;
    return result;
}

} // namespace flowtally
