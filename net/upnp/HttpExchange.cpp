#include "net/upnp/HttpExchange.h"

#include <QHostAddress>
#include <QNetworkProxy>
#include <QTcpSocket>

#include <algorithm>

namespace flowtally {

namespace {

int remainingMs(const QDeadlineTimer &deadline) {
    return int(std::clamp<qint64>(deadline.remainingTime(), 0, 3600 * 1000));
}

QByteArray requestBytes(const HttpRequest &request, const QHostAddress &address, int port) {
    QByteArray target =
        request.url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (target.isEmpty())
        target = "/";
    QByteArray bytes = request.method + ' ' + target +
                       " HTTP/1.1\r\nHost: " + address.toString().toLatin1() + ':' +
                       QByteArray::number(port) + "\r\n";
    for (const auto &[name, value] : request.headers)
        bytes += name + ": " + value + "\r\n";
    if (!request.body.isEmpty() || request.method == "POST")
        bytes += "Content-Length: " + QByteArray::number(request.body.size()) + "\r\n";
    bytes += "Connection: close\r\n\r\n" + request.body;
    return bytes;
}

} // namespace

Status exchangeHttp(const HttpRequest &request, const QString &localAddress,
                    const QDeadlineTimer &deadline, HttpReply *reply, const HttpLimits &limits) {
    QHostAddress address;
    if (request.url.scheme() != QLatin1String("http") || !address.setAddress(request.url.host()) ||
        address.protocol() != QAbstractSocket::IPv4Protocol)
        return Status::invalidArgument(
            QStringLiteral("%1 is not http to an IPv4 address").arg(request.url.toString()));
    const int port = request.url.port(80);
    const QString peer = QStringLiteral("%1:%2").arg(address.toString()).arg(port);

    QTcpSocket socket;
    socket.setProxy(QNetworkProxy::NoProxy);
    const qsizetype most = 2 * (limits.headerBytes + limits.bodyBytes);
    socket.setReadBufferSize(most + 1);
    if (!localAddress.isEmpty() && !socket.bind(QHostAddress(localAddress), 0))
        return Status::ioError(
            QStringLiteral("cannot send from %1: %2").arg(localAddress, socket.errorString()));
    socket.connectToHost(address, quint16(port));
    if (!socket.waitForConnected(remainingMs(deadline)))
        return Status::ioError(QStringLiteral("no connection to %1: %2")
                                   .arg(peer, deadline.hasExpired() ? QStringLiteral("out of time")
                                                                    : socket.errorString()));
    socket.write(requestBytes(request, address, port));
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(remainingMs(deadline)))
            return Status::ioError(QStringLiteral("the request to %1 was not sent: %2")
                                       .arg(peer, deadline.hasExpired()
                                                      ? QStringLiteral("out of time")
                                                      : socket.errorString()));

    QByteArray received;
    bool closed = false;
    for (;;) {
        received += socket.read(most + 1 - received.size());
        const HttpReply read = readHttpReply(received, closed, limits);
        if (read.state == HttpReply::State::Failed)
            return Status::corrupt(QStringLiteral("%1 answered %2").arg(peer, read.failure));
        if (read.state == HttpReply::State::Complete) {
            *reply = read;
            return Status::success();
        }
        if (closed)
            return Status::corrupt(QStringLiteral("%1 answered no whole reply").arg(peer));
        if (deadline.hasExpired())
            return Status::ioError(QStringLiteral("%1 answered no whole reply in time").arg(peer));
        if (socket.waitForReadyRead(remainingMs(deadline)))
            continue;
        if (socket.error() == QAbstractSocket::RemoteHostClosedError)
            closed = true;
        else if (socket.error() != QAbstractSocket::SocketTimeoutError)
            return Status::ioError(QStringLiteral("%1: %2").arg(peer, socket.errorString()));
    }
}

} // namespace flowtally
