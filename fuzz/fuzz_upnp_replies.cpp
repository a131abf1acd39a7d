// What a router's UPnP side says, as the UPnP client reads it: the framing
// of an HTTP reply, an SSDP answer and its LOCATION, a device description
// and a SOAP answer. The input is one text, read by every reader.
#include "fuzz/FuzzCheck.h"
#include "net/upnp/HttpReply.h"
#include "WBLib/IsValidLocalIP.h"
#include "net/upnp/UpnpReplies.h"

#include <QHostAddress>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace flowtally;
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));

    const HttpReply open = readHttpReply(text, false);
    const HttpReply closed = readHttpReply(text, true);
    for (const HttpReply &reply : {open, closed}) {
        fuzzCheck(reply.state != HttpReply::State::Complete ||
                      (reply.body.size() <= HttpLimits().bodyBytes && reply.status >= 200 &&
                       reply.status <= 999),
                  "a whole reply has a final status and a body within the limit");
        fuzzCheck(reply.state != HttpReply::State::Failed || !reply.failure.isEmpty(),
                  "a failed reply says why");
    }
    fuzzCheck(closed.state != HttpReply::State::Incomplete, "a closed connection ends the reply");
    fuzzCheck(open.state != HttpReply::State::Complete ||
                  (closed.state == HttpReply::State::Complete && closed.body == open.body),
              "a reply whole before the end stays the same at the end");

    SsdpAnswer answer;
    if (readSsdpAnswer(text, &answer).ok()) {
        fuzzCheck(answer.location.scheme() == QLatin1String("http") &&
                      !answer.location.host().isEmpty() && !answer.searchTarget.isEmpty(),
                  "an answer has an http LOCATION and ST");
        const QString host = answer.location.host();
        if (followableLocation(answer.location, host, QString()).ok())
            fuzzCheck(isValidLocalIP(QHostAddress(host).toString()),
                      "only local addresses are followed");
        fuzzCheck(
            !followableLocation(answer.location, QStringLiteral("10.99.99.99"), QString()).ok() ||
                QHostAddress(host) == QHostAddress(QStringLiteral("10.99.99.99")),
            "no LOCATION leads away from the address that answered");
    }

    const QUrl location(QStringLiteral("http://192.168.1.1:5000/rootDesc.xml"));
    DeviceDescription description;
    if (readDeviceDescription(text, location, &description).ok()) {
        fuzzCheck(!description.udn.isEmpty() && description.counters.isValid(),
                  "a description has a UDN and the counters' service");
        QList<UpnpService> services = description.connections;
        services.append(description.counters);
        for (const UpnpService &service : services)
            fuzzCheck(service.control.scheme() == QLatin1String("http") &&
                          service.control.host() == location.host() &&
                          service.control.port(80) == location.port(80) &&
                          service.control.userInfo().isEmpty(),
                      "control URLs stay at the description's host and port");
    }

    const SoapAnswer soap = readSoapAnswer(text, QStringLiteral("GetTotalBytesSent"));
    fuzzCheck(soap.kind == SoapAnswer::Kind::Arguments || !soap.failure.isEmpty(),
              "a fault or a refusal says why");
    fuzzCheck(soap.kind != SoapAnswer::Kind::Fault || soap.failure.startsWith("SOAP fault"),
              "a fault is told as one");
    for (const QString &value : soap.arguments)
        if (const std::optional<quint64> count = unsignedArgument(value))
            fuzzCheck(QString::number(*count) == value.trimmed() ||
                          value.trimmed().startsWith(QLatin1Char('0')),
                      "a count is the digits it was written with");
    return 0;
}
