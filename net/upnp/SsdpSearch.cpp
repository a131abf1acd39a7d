#include "net/upnp/SsdpSearch.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QNetworkProxy>
#include <QUdpSocket>

#include <algorithm>
#include <netinet/in.h>
#include <sys/socket.h>

namespace flowtally {

namespace {

constexpr quint16 kSsdpPort = 1900;
constexpr int kMostDatagrams = 64;
constexpr qint64 kDatagramBytes = 64 * 1024;
const QString kSsdpGroup = QStringLiteral("239.255.255.250");

bool isIpv4(const QHostAddress &address) {
    return address.protocol() == QAbstractSocket::IPv4Protocol;
}

// Multicast leaves from the interface of this address, not by the route.
bool setMulticastInterface(QUdpSocket &socket, const QHostAddress &local) {
    in_addr address{};
    address.s_addr = htonl(local.toIPv4Address());
    return ::setsockopt(int(socket.socketDescriptor()), IPPROTO_IP, IP_MULTICAST_IF, &address,
                        sizeof address) == 0;
}

} // namespace

QByteArray ssdpRequest(const QString &target, const QString &unicastAddress) {
    // A unicast search names its address and has no MX: the device answers
    // at once.
    const QString host = unicastAddress.isEmpty() ? kSsdpGroup : unicastAddress;
    return QStringLiteral("M-SEARCH * HTTP/1.1\r\nHOST: %1:%2\r\nMAN: \"ssdp:discover\"\r\n%3"
                          "ST: %4\r\n\r\n")
        .arg(host)
        .arg(kSsdpPort)
        .arg(unicastAddress.isEmpty() ? QStringLiteral("MX: 1\r\n") : QString(), target)
        .toUtf8();
}

Status searchSsdp(const SsdpSearch &search, QList<SsdpDatagram> *datagrams) {
    const bool unicast = !search.unicastAddress.isEmpty();
    const QHostAddress to(unicast ? search.unicastAddress : kSsdpGroup);
    const QHostAddress local = search.localAddress.isEmpty() ? QHostAddress(QHostAddress::AnyIPv4)
                                                             : QHostAddress(search.localAddress);
    if (!isIpv4(to) || !isIpv4(local))
        return Status::invalidArgument(QStringLiteral("an SSDP search needs IPv4 addresses"));

    QUdpSocket socket;
    socket.setProxy(QNetworkProxy::NoProxy);
    if (!socket.bind(local, 0))
        return Status::ioError(
            QStringLiteral("no SSDP socket at %1: %2").arg(local.toString(), socket.errorString()));
    if (!unicast) {
        socket.setSocketOption(QAbstractSocket::MulticastTtlOption, 2);
        if (!search.localAddress.isEmpty() && !setMulticastInterface(socket, local))
            return Status::ioError(QStringLiteral("no multicast from %1").arg(search.localAddress));
    }

    const QDeadlineTimer deadline(search.listen);
    const auto sendAll = [&] {
        for (const QString &target : search.targets)
            socket.writeDatagram(ssdpRequest(target, search.unicastAddress), to, kSsdpPort);
    };
    sendAll();
    QDeadlineTimer again(search.listen / 3);
    bool resent = false;
    int fromAddress = 0;
    QList<SsdpDatagram> received;
    while (!deadline.hasExpired() && received.size() < kMostDatagrams) {
        if (!resent && again.hasExpired()) {
            sendAll();
            resent = true;
        }
        const qint64 wait = resent ? deadline.remainingTime()
                                   : std::min(deadline.remainingTime(), again.remainingTime());
        socket.waitForReadyRead(int(std::max<qint64>(wait, 0)));
        for (int reads = 0; socket.hasPendingDatagrams() && reads < kMostDatagrams &&
                            received.size() < kMostDatagrams;
             ++reads) {
            QByteArray bytes(std::clamp<qint64>(socket.pendingDatagramSize(), 0, kDatagramBytes),
                             Qt::Uninitialized);
            QHostAddress sender;
            const qint64 size = socket.readDatagram(bytes.data(), bytes.size(), &sender);
            if (size < 0 || !isIpv4(sender))
                continue;
            bytes.truncate(size);
            received.append({sender.toString(), bytes});
            fromAddress += unicast && sender == to;
        }
        if (unicast && fromAddress >= search.targets.size())
            break;
    }
    *datagrams = received;
    return Status::success();
}

} // namespace flowtally
