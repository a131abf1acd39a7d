#pragma once

#include "platform/system/Status.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace flowtally {

// The readers of what a router's UPnP side says: plain functions of the
// text, safe on any thread, with no socket, no log line and no status text
// of their own. A LAN is no trusted place: every reader refuses a text over
// kUpnpTextLimit, XML with a document type declaration (so no entity is
// ever declared, let alone fetched), and anything of a shape it does not
// know; a refusal says why, for a log line.

constexpr qsizetype kUpnpTextLimit = 64 * 1024;

// ---- SSDP: the answers to an M-SEARCH ----

// The targets Flowtally searches for: the gateway devices of both versions
// and the service that holds the Internet side's counters.
const QStringList &upnpSearchTargets();

struct SsdpAnswer {
    QUrl location;        // LOCATION: where the device's description is
    QString searchTarget; // ST
    QString usn;          // USN, empty when the answer has none
    bool operator==(const SsdpAnswer &) const = default;
};

// A datagram "HTTP/1.x 200 ...", header lines (names in any case), an empty
// line; refused without an absolute http LOCATION or without ST.
Status readSsdpAnswer(const QByteArray &datagram, SsdpAnswer *answer);

// Whether a LOCATION may be followed: plain http to an IPv4 address that is
// the one the answer came from (no redirection to another machine), in the
// private or loopback ranges (isValidLocalIP) unless it is the address the
// person typed.
Status followableLocation(const QUrl &location, const QString &answeredFrom,
                          const QString &typedAddress);

// ---- The device description ----

// A service of the device Flowtally calls: its type as the description
// names it (the SOAP actions' namespace) and its control URL, absolute.
struct UpnpService {
    QString type;
    QUrl control;
    bool isValid() const { return !type.isEmpty() && control.isValid(); }
    bool operator==(const UpnpService &) const = default;
};

struct DeviceDescription {
    // The root device's UDN ("uuid:..."), friendlyName and modelName, white
    // space simplified and cut to 128 characters.
    QString udn, name, model;
    // The first WANCommonInterfaceConfig service, anywhere in the tree of
    // devices.
    UpnpService counters;
    // Every WANIPConnection and WANPPPConnection service, in the order of
    // the description.
    QList<UpnpService> connections;
    bool operator==(const DeviceDescription &) const = default;
};

// The description fetched from `location`. Control URLs resolve against
// URLBase where there is one, else against `location`, and must stay at
// `location`'s host and port over plain http; a service that leaves them
// refuses the whole description. Refused as well: no root device, no UDN,
// no counters service, nested devices deeper than 8.
Status readDeviceDescription(const QByteArray &xml, const QUrl &location,
                             DeviceDescription *description);

// ---- SOAP answers ----

struct SoapAnswer {
    enum class Kind {
        // The action's answer: `arguments` holds its out-arguments.
        Arguments,
        // The device refused the action: `failure` gives the UPnP error
        // ("SOAP fault 401 Invalid Action").
        Fault,
        // Not an answer of a known shape: `failure` says why.
        Malformed,
    };
    Kind kind = Kind::Malformed;
    // By name ("NewTotalBytesSent"), each element's text as it stands.
    QMap<QString, QString> arguments;
    QString failure;
};

// The envelope of an answer to `action`: its body holds either
// "<actionResponse>" with one element per argument (each at most once, with
// no element inside) or a Fault.
SoapAnswer readSoapAnswer(const QByteArray &xml, const QString &action);

// An argument that counts: decimal digits only, white space around them
// allowed, at most 2^64 - 1; none for an empty, signed, fractional or
// larger value.
std::optional<quint64> unsignedArgument(const QString &text);

} // namespace flowtally
