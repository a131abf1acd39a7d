#include "net/upnp/UpnpReplies.h"

#include "WBLib/IsValidLocalIP.h"

#include <QHostAddress>
#include <QXmlStreamReader>

namespace flowtally {

namespace {

constexpr int kDeviceDepth = 8;
constexpr qsizetype kNameCharacters = 128;
const QString kServicePrefix = QStringLiteral("urn:schemas-upnp-org:service:");

Status tooLong(const char *what) {
    return Status::refused(QStringLiteral("%1 over %2 bytes").arg(what).arg(kUpnpTextLimit));
}

// The IPv4 address of a URL's host; none for a name or an IPv6 address.
std::optional<QHostAddress> ipv4Host(const QUrl &url) {
    QHostAddress address;
    if (!address.setAddress(url.host()) || address.protocol() != QAbstractSocket::IPv4Protocol)
        return std::nullopt;
    return address;
}

// "urn:schemas-upnp-org:service:NAME:VERSION".
bool isServiceType(const QString &type, const QString &name) {
    const QString prefix = kServicePrefix + name + ':';
    if (!type.startsWith(prefix) || type.size() == prefix.size() || type.size() > prefix.size() + 4)
        return false;
    for (qsizetype i = prefix.size(); i < type.size(); ++i)
        if (type.at(i) < QLatin1Char('0') || type.at(i) > QLatin1Char('9'))
            return false;
    return true;
}

QString shortText(const QString &text) {
    return text.simplified().left(kNameCharacters);
}

// Opens XML whose root element is `root`: the reader stands on it. No
// document type declaration is taken, so no entity is ever declared.
Status openXml(QXmlStreamReader &xml, const QByteArray &text, const QString &root) {
    if (text.size() > kUpnpTextLimit)
        return tooLong("XML");
    xml.addData(text);
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::DTD:
            return Status::refused(QStringLiteral("XML with a document type declaration"));
        case QXmlStreamReader::StartElement:
            if (xml.name() != root)
                return Status::corrupt(QStringLiteral("XML whose root is not %1").arg(root));
            return Status::success();
        default:
            break;
        }
    }
    return Status::corrupt(QStringLiteral("XML: %1").arg(xml.errorString()));
}

// Reads to the document's end, so that nothing after what was taken goes
// unchecked.
Status closeXml(QXmlStreamReader &xml) {
    while (!xml.atEnd())
        xml.readNext();
    if (xml.hasError())
        return Status::corrupt(QStringLiteral("XML: %1").arg(xml.errorString()));
    return Status::success();
}

// ---- Description ----

class DescriptionReader {
  public:
    DescriptionReader(const QByteArray &text, const QUrl &location)
        : text_(text), location_(location) {}

    Status read(DeviceDescription *description) {
        Status status = openXml(xml_, text_, QStringLiteral("root"));
        if (!status.ok())
            return status;
        QString urlBase;
        bool deviceSeen = false;
        while (xml_.readNextStartElement()) {
            if (xml_.name() == QLatin1String("URLBase")) {
                urlBase = xml_.readElementText().trimmed();
            } else if (xml_.name() == QLatin1String("device") && !deviceSeen) {
                deviceSeen = true;
                status = readDevice(0);
                if (!status.ok())
                    return status;
            } else {
                xml_.skipCurrentElement();
            }
        }
        status = closeXml(xml_);
        if (!status.ok())
            return status;
        if (!deviceSeen)
            return Status::corrupt(QStringLiteral("a description without a device"));
        if (found_.udn.isEmpty())
            return Status::corrupt(QStringLiteral("a description without the device's UDN"));
        const QUrl base = urlBase.isEmpty() ? location_ : location_.resolved(QUrl(urlBase));
        std::optional<UpnpService> counters;
        for (const Service &service : services_) {
            const bool isCounters = isServiceType(service.type, "WANCommonInterfaceConfig");
            const bool isConnection = isServiceType(service.type, "WANIPConnection") ||
                                      isServiceType(service.type, "WANPPPConnection");
            if (!isCounters && !isConnection)
                continue;
            const QUrl control = base.resolved(QUrl(service.control, QUrl::StrictMode));
            status = sameEndpoint(control, service);
            if (!status.ok())
                return status;
            if (isCounters && !counters)
                counters = UpnpService{service.type, control};
            if (isConnection)
                found_.connections.append(UpnpService{service.type, control});
        }
        if (!counters)
            return Status::notSupported(QStringLiteral("a description without a "
                                                       "WANCommonInterfaceConfig service"));
        found_.counters = *counters;
        *description = found_;
        return Status::success();
    }

  private:
    struct Service {
        QString type, control;
    };

    Status sameEndpoint(const QUrl &control, const Service &service) const {
        const std::optional<QHostAddress> host = ipv4Host(control);
        if (service.control.isEmpty() || !control.isValid() ||
            control.scheme() != QLatin1String("http") || !control.userInfo().isEmpty() || !host ||
            *host != ipv4Host(location_) || control.port(80) != location_.port(80))
            return Status::refused(QStringLiteral("the control URL \"%1\" of %2 leaves %3")
                                       .arg(service.control.left(kNameCharacters), service.type,
                                            location_.authority()));
        return Status::success();
    }

    Status readDevice(int depth) {
        if (depth > kDeviceDepth)
            return Status::refused(
                QStringLiteral("devices nested deeper than %1").arg(kDeviceDepth));
        while (xml_.readNextStartElement()) {
            const auto name = xml_.name();
            if (depth == 0 && name == QLatin1String("UDN")) {
                found_.udn = shortText(xml_.readElementText());
            } else if (depth == 0 && name == QLatin1String("friendlyName")) {
                found_.name = shortText(xml_.readElementText());
            } else if (depth == 0 && name == QLatin1String("modelName")) {
                found_.model = shortText(xml_.readElementText());
            } else if (name == QLatin1String("serviceList")) {
                readServices();
            } else if (name == QLatin1String("deviceList")) {
                while (xml_.readNextStartElement()) {
                    if (xml_.name() != QLatin1String("device")) {
                        xml_.skipCurrentElement();
                        continue;
                    }
                    const Status status = readDevice(depth + 1);
                    if (!status.ok())
                        return status;
                }
            } else {
                xml_.skipCurrentElement();
            }
        }
        return Status::success();
    }

    void readServices() {
        while (xml_.readNextStartElement()) {
            if (xml_.name() != QLatin1String("service")) {
                xml_.skipCurrentElement();
                continue;
            }
            Service service;
            while (xml_.readNextStartElement()) {
                if (xml_.name() == QLatin1String("serviceType"))
                    service.type = xml_.readElementText().trimmed();
                else if (xml_.name() == QLatin1String("controlURL"))
                    service.control = xml_.readElementText().trimmed();
                else
                    xml_.skipCurrentElement();
            }
            services_.append(service);
        }
    }

    QXmlStreamReader xml_;
    const QByteArray &text_;
    const QUrl location_;
    DeviceDescription found_;
    QList<Service> services_;
};

// ---- SOAP ----

SoapAnswer malformed(const QString &why) {
    SoapAnswer answer;
    answer.failure = why;
    return answer;
}

SoapAnswer readFault(QXmlStreamReader &xml) {
    QString faultString, code, description;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("faultstring")) {
            faultString = xml.readElementText();
        } else if (xml.name() == QLatin1String("detail")) {
            while (xml.readNextStartElement()) {
                if (xml.name() != QLatin1String("UPnPError")) {
                    xml.skipCurrentElement();
                    continue;
                }
                while (xml.readNextStartElement()) {
                    if (xml.name() == QLatin1String("errorCode"))
                        code = xml.readElementText();
                    else if (xml.name() == QLatin1String("errorDescription"))
                        description = xml.readElementText();
                    else
                        xml.skipCurrentElement();
                }
            }
        } else {
            xml.skipCurrentElement();
        }
    }
    SoapAnswer answer;
    answer.kind = SoapAnswer::Kind::Fault;
    const QString error = shortText(code + ' ' + description);
    answer.failure = QStringLiteral("SOAP fault %1")
                         .arg(error.isEmpty() ? shortText(faultString) : error)
                         .trimmed();
    return answer;
}

SoapAnswer readBody(QXmlStreamReader &xml, const QString &action) {
    if (!xml.readNextStartElement())
        return malformed(QStringLiteral("an empty SOAP body"));
    if (xml.name() == QLatin1String("Fault"))
        return readFault(xml);
    if (xml.name() != QString(action + QLatin1String("Response")))
        return malformed(QStringLiteral("an answer to another action than %1").arg(action));
    SoapAnswer answer;
    answer.kind = SoapAnswer::Kind::Arguments;
    while (xml.readNextStartElement()) {
        const QString name = xml.name().toString();
        const QString value = xml.readElementText();
        if (xml.hasError())
            return malformed(QStringLiteral("the argument %1 is not text").arg(shortText(name)));
        if (answer.arguments.contains(name))
            return malformed(QStringLiteral("the argument %1 twice").arg(shortText(name)));
        answer.arguments.insert(name, value);
    }
    return answer;
}

} // namespace

const QStringList &upnpSearchTargets() {
    static const QStringList targets{
        QStringLiteral("urn:schemas-upnp-org:device:InternetGatewayDevice:1"),
        QStringLiteral("urn:schemas-upnp-org:device:InternetGatewayDevice:2"),
        QStringLiteral("urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1")};
    return targets;
}

Status readSsdpAnswer(const QByteArray &datagram, SsdpAnswer *answer) {
    if (datagram.size() > kUpnpTextLimit)
        return tooLong("an SSDP answer");
    QList<QByteArray> lines = datagram.split('\n');
    for (QByteArray &line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    const QByteArray &statusLine = lines.value(0);
    if (!statusLine.startsWith("HTTP/1.") || statusLine.mid(8, 5).trimmed() != "200")
        return Status::corrupt(QStringLiteral("not an SSDP answer"));
    SsdpAnswer read;
    QByteArray location;
    for (qsizetype i = 1; i < lines.size() && !lines.at(i).isEmpty(); ++i) {
        const QByteArray &line = lines.at(i);
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).trimmed().toUpper();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "LOCATION" && location.isEmpty())
            location = value;
        else if (name == "ST" && read.searchTarget.isEmpty())
            read.searchTarget = QString::fromUtf8(value);
        else if (name == "USN" && read.usn.isEmpty())
            read.usn = QString::fromUtf8(value);
    }
    read.location = QUrl(QString::fromUtf8(location), QUrl::StrictMode);
    if (location.isEmpty() || !read.location.isValid() || read.location.isRelative() ||
        read.location.scheme() != QLatin1String("http") || read.location.host().isEmpty())
        return Status::corrupt(QStringLiteral("an SSDP answer without an http LOCATION"));
    if (read.searchTarget.isEmpty())
        return Status::corrupt(QStringLiteral("an SSDP answer without ST"));
    *answer = read;
    return Status::success();
}

Status followableLocation(const QUrl &location, const QString &answeredFrom,
                          const QString &typedAddress) {
    const std::optional<QHostAddress> host = ipv4Host(location);
    const QString shown = location.toString().left(kNameCharacters);
    if (location.scheme() != QLatin1String("http") || !location.userInfo().isEmpty() || !host)
        return Status::refused(
            QStringLiteral("the LOCATION %1 is not http to an IPv4 address").arg(shown));
    if (*host != QHostAddress(answeredFrom))
        return Status::refused(QStringLiteral("the LOCATION %1 is not at %2, which answered")
                                   .arg(shown, answeredFrom));
    const QString address = host->toString();
    if (!isValidLocalIP(address) && (typedAddress.isEmpty() || *host != QHostAddress(typedAddress)))
        return Status::refused(QStringLiteral("%1 is not a local address").arg(address));
    return Status::success();
}

Status readDeviceDescription(const QByteArray &xml, const QUrl &location,
                             DeviceDescription *description) {
    return DescriptionReader(xml, location).read(description);
}

SoapAnswer readSoapAnswer(const QByteArray &text, const QString &action) {
    QXmlStreamReader xml;
    const Status opened = openXml(xml, text, QStringLiteral("Envelope"));
    if (!opened.ok())
        return malformed(opened.message());
    std::optional<SoapAnswer> answer;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("Body") && !answer) {
            answer = readBody(xml, action);
            if (answer->kind == SoapAnswer::Kind::Malformed)
                return *answer;
            // Whatever follows the answer's element in the body is not read.
            while (xml.readNextStartElement())
                xml.skipCurrentElement();
        } else {
            xml.skipCurrentElement();
        }
    }
    const Status closed = closeXml(xml);
    if (!closed.ok())
        return malformed(closed.message());
    if (!answer)
        return malformed(QStringLiteral("a SOAP envelope without a body"));
    return *answer;
}

std::optional<quint64> unsignedArgument(const QString &text) {
    const QString digits = text.trimmed();
    if (digits.isEmpty())
        return std::nullopt;
    for (const QChar c : digits)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    bool ok = false;
    const quint64 value = digits.toULongLong(&ok, 10);
    return ok ? std::optional<quint64>(value) : std::nullopt;
}

} // namespace flowtally
