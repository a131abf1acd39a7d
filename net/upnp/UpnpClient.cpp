#include "net/upnp/UpnpClient.h"

#include "net/upnp/HttpExchange.h"
#include "net/upnp/SoapCall.h"
#include "net/upnp/SsdpSearch.h"

#include <QHostAddress>

#include <algorithm>

namespace flowtally {

namespace {

constexpr int kMostDevices = 4;
constexpr int kMostConnections = 4;
constexpr quint64 kLargest32 = 0xFFFFFFFFu;

QDeadlineTimer requestDeadline(const QDeadlineTimer &whole, std::chrono::milliseconds bound) {
    return std::min(whole, QDeadlineTimer(bound));
}

// A count among an answer's arguments.
Status countIn(const SoapResult &result, const QString &action, const QString &name,
               quint64 *value) {
    const auto found = result.arguments.constFind(name);
    if (found == result.arguments.constEnd())
        return Status::corrupt(QStringLiteral("%1: no %2 in the answer").arg(action, name));
    const std::optional<quint64> count = unsignedArgument(*found);
    if (!count)
        return Status::corrupt(QStringLiteral("%1: %2 \"%3\" is not a count")
                                   .arg(action, name, found->simplified().left(40)));
    *value = *count;
    return Status::success();
}

// The link's speed, where the device tells it; unchanged where it does not.
void askLinkSpeed(UpnpDevice &device, const QDeadlineTimer &deadline) {
    const QString action = QStringLiteral("GetCommonLinkProperties");
    const SoapResult result = callSoap(device.counters, action, device.localAddress, deadline);
    quint64 up = 0, down = 0;
    if (result.status.ok() &&
        countIn(result, action, QStringLiteral("NewLayer1UpstreamMaxBitRate"), &up).ok() &&
        countIn(result, action, QStringLiteral("NewLayer1DownstreamMaxBitRate"), &down).ok()) {
        device.linkUpBitsPerSecond = up;
        device.linkDownBitsPerSecond = down;
    }
}

// The up-time of a connection service; its status text in *status.
Status askUptime(const UpnpDevice &device, const UpnpService &connection,
                 const QDeadlineTimer &deadline, double *uptime, QString *status = nullptr) {
    const QString action = QStringLiteral("GetStatusInfo");
    const SoapResult result = callSoap(connection, action, device.localAddress, deadline);
    if (!result.status.ok())
        return result.status;
    quint64 seconds = 0;
    const Status read = countIn(result, action, QStringLiteral("NewUptime"), &seconds);
    if (!read.ok())
        return read;
    *uptime = double(seconds);
    if (status)
        *status = result.arguments.value(QStringLiteral("NewConnectionStatus")).trimmed();
    return Status::success();
}

// What AVM's GetAddonInfos answered: its 64-bit counters where it gave
// them, else its 32-bit ones. `none` tells an answer without any counter (a
// device with an action of that name that is not AVM's).
Status addonCounters(const SoapResult &result, UpnpReading *reading, bool *none) {
    const QString action = QStringLiteral("GetAddonInfos");
    const QString sent64 = QStringLiteral("NewX_AVM_DE_TotalBytesSent64");
    const QString received64 = QStringLiteral("NewX_AVM_DE_TotalBytesReceived64");
    const QString sent32 = QStringLiteral("NewTotalBytesSent");
    const QString received32 = QStringLiteral("NewTotalBytesReceived");
    const auto &arguments = result.arguments;
    *none = !arguments.contains(sent64) && !arguments.contains(received64) &&
            !arguments.contains(sent32) && !arguments.contains(received32);
    const bool wide = arguments.contains(sent64) || arguments.contains(received64);
    Status status = countIn(result, action, wide ? sent64 : sent32, &reading->sent);
    if (status.ok())
        status = countIn(result, action, wide ? received64 : received32, &reading->received);
    if (wide)
        reading->bits = 64;
    return status;
}

Status standardCounters(const UpnpDevice &device, const QDeadlineTimer &deadline,
                        UpnpReading *reading) {
    const QString sentAction = QStringLiteral("GetTotalBytesSent");
    const SoapResult sent = callSoap(device.counters, sentAction, device.localAddress, deadline);
    ++reading->requests;
    if (!sent.status.ok())
        return sent.status;
    Status status = countIn(sent, sentAction, QStringLiteral("NewTotalBytesSent"), &reading->sent);
    if (!status.ok())
        return status;
    const QString receivedAction = QStringLiteral("GetTotalBytesReceived");
    const SoapResult received =
        callSoap(device.counters, receivedAction, device.localAddress, deadline);
    ++reading->requests;
    if (!received.status.ok())
        return received.status;
    return countIn(received, receivedAction, QStringLiteral("NewTotalBytesReceived"),
                   &reading->received);
}

Status failedAt(const UpnpDevice &device, const Status &status) {
    return status.rephrased(QStringLiteral("UPnP at %1: %2")
                                .arg(device.counters.control.authority(), status.message()));
}

} // namespace

Status describeUpnpDevice(const QUrl &location, const QString &localAddress,
                          const QDeadlineTimer &deadline, UpnpDevice *device,
                          std::chrono::milliseconds requestBound) {
    const QString where = QStringLiteral("UPnP description %1").arg(location.toString());
    HttpRequest request;
    request.url = location;
    HttpReply reply;
    const Status fetched =
        exchangeHttp(request, localAddress, requestDeadline(deadline, requestBound), &reply);
    if (!fetched.ok())
        return fetched.rephrased(QStringLiteral("%1: %2").arg(where, fetched.message()));
    if (reply.status != 200)
        return Status::refused(QStringLiteral("%1: HTTP status %2").arg(where).arg(reply.status));
    DeviceDescription description;
    const Status read = readDeviceDescription(reply.body, location, &description);
    if (!read.ok())
        return read.rephrased(QStringLiteral("%1: %2").arg(where, read.message()));

    UpnpDevice found;
    found.address = QHostAddress(location.host()).toString();
    found.localAddress = localAddress;
    found.location = location;
    found.udn = description.udn;
    found.name = description.name;
    found.model = description.model;
    found.counters = description.counters;
    // A connection that is up comes first; else the first that answers.
    for (const UpnpService &connection : description.connections.mid(0, kMostConnections)) {
        double uptime = 0;
        QString status;
        if (!askUptime(found, connection, requestDeadline(deadline, requestBound), &uptime, &status)
                 .ok())
            continue;
        if (!found.connection.isValid())
            found.connection = connection;
        if (status == QLatin1String("Connected")) {
            found.connection = connection;
            break;
        }
    }
    askLinkSpeed(found, requestDeadline(deadline, requestBound));
    *device = found;
    return Status::success();
}

Status discoverUpnpDevices(const UpnpSearchOptions &options, QList<UpnpDevice> *devices,
                           QStringList *refusals) {
    const QDeadlineTimer deadline(options.bound);
    SsdpSearch search;
    search.targets = upnpSearchTargets();
    search.localAddress = options.localAddress;
    search.unicastAddress = options.typedAddress;
    search.listen = std::min(options.listen, options.bound);
    QList<SsdpDatagram> datagrams;
    const Status searched = searchSsdp(search, &datagrams);
    if (!searched.ok())
        return searched.rephrased(QStringLiteral("UPnP search: %1").arg(searched.message()));

    QStringList refused;
    QList<QUrl> locations;
    for (const SsdpDatagram &datagram : datagrams) {
        SsdpAnswer answer;
        Status status = readSsdpAnswer(datagram.bytes, &answer);
        // Other devices on the LAN may answer what Flowtally did not ask.
        if (status.ok() && !upnpSearchTargets().contains(answer.searchTarget))
            continue;
        if (status.ok() && !options.typedAddress.isEmpty() &&
            QHostAddress(datagram.from) != QHostAddress(options.typedAddress))
            status = Status::refused(QStringLiteral("not the address asked"));
        if (status.ok())
            status = followableLocation(answer.location, datagram.from, options.typedAddress);
        if (!status.ok()) {
            refused.append(
                QStringLiteral("UPnP answer from %1: %2").arg(datagram.from, status.message()));
            continue;
        }
        if (!locations.contains(answer.location))
            locations.append(answer.location);
    }
    std::stable_partition(locations.begin(), locations.end(), [&](const QUrl &location) {
        return !options.preferredAddress.isEmpty() &&
               QHostAddress(location.host()) == QHostAddress(options.preferredAddress);
    });

    QList<UpnpDevice> found;
    for (const QUrl &location : locations.mid(0, kMostDevices)) {
        if (deadline.hasExpired())
            break;
        UpnpDevice device;
        const Status described = describeUpnpDevice(location, options.localAddress, deadline,
                                                    &device, options.requestBound);
        if (!described.ok()) {
            refused.append(described.message());
            continue;
        }
        const bool known = std::any_of(found.begin(), found.end(), [&](const UpnpDevice &other) {
            return other.udn == device.udn;
        });
        if (!known)
            found.append(device);
    }
    refused.removeDuplicates();
    if (refusals)
        *refusals = refused;
    *devices = found;
    if (found.isEmpty())
        return Status::notFound(refused.isEmpty() ? QStringLiteral("no UPnP gateway answered")
                                                  : QStringLiteral("no UPnP gateway described "
                                                                   "itself; %1")
                                                        .arg(refused.last()));
    return Status::success();
}

Status readUpnpCounters(UpnpDevice &device, UpnpReading *reading, const UpnpReadOptions &options) {
    const QDeadlineTimer deadline(options.bound);
    UpnpReading read;
    read.udn = device.udn;
    read.name = device.name;
    read.model = device.model;
    if (options.uptime && device.connection.isValid()) {
        const Status status = askUptime(device, device.connection, deadline, &read.uptime);
        ++read.requests;
        if (!status.ok())
            return failedAt(device, status);
    }

    bool counted = false;
    if (device.counterCall != UpnpDevice::CounterCall::TotalBytes) {
        const QString action = QStringLiteral("GetAddonInfos");
        const SoapResult result = callSoap(device.counters, action, device.localAddress, deadline);
        ++read.requests;
        const bool learning = device.counterCall == UpnpDevice::CounterCall::Unknown;
        if (result.status.ok()) {
            bool none = false;
            const Status status = addonCounters(result, &read, &none);
            if (status.ok()) {
                device.counterCall = UpnpDevice::CounterCall::AddonInfos;
                counted = true;
            } else if (!learning || !none) {
                return failedAt(device, status);
            }
        } else if (!learning || !result.refused) {
            return failedAt(device, result.status);
        }
    }
    if (!counted) {
        read.bits = 32;
        const Status status = standardCounters(device, deadline, &read);
        if (!status.ok())
            return failedAt(device, status);
        device.counterCall = UpnpDevice::CounterCall::TotalBytes;
    }
    if (read.sent > kLargest32 || read.received > kLargest32)
        read.bits = 64;

    if (options.linkSpeed) {
        askLinkSpeed(device, deadline);
        ++read.requests;
    }
    read.linkUpBitsPerSecond = device.linkUpBitsPerSecond;
    read.linkDownBitsPerSecond = device.linkDownBitsPerSecond;
    *reading = read;
    return Status::success();
}

} // namespace flowtally
