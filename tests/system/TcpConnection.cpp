#include "TcpConnection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The longest any single send, receive, connect or accept may block.
constexpr int kSocketTimeoutSeconds = 5;
// The longest one move of data may take, however it goes.
constexpr std::chrono::seconds kMoveDeadline{60};
constexpr std::size_t kChunk = 64 * 1024;

void setTimeouts(int socket) {
    const timeval timeout{kSocketTimeoutSeconds, 0};
    ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

QString systemError(const QString &what) {
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

TcpConnection::TcpConnection(const NetworkNamespace &client, const NetworkNamespace &server,
                             const QString &serverAddress) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (::inet_pton(AF_INET, serverAddress.toLatin1().constData(), &address.sin_addr) != 1) {
        error_ = QStringLiteral("not an address: %1").arg(serverAddress);
        return;
    }
    const int listener = server.makeSocket(AF_INET, SOCK_STREAM);
    if (listener < 0) {
        error_ = QStringLiteral("no socket in %1").arg(server.name());
        return;
    }
    setTimeouts(listener);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        error_ = systemError(QStringLiteral("listening in %1").arg(server.name()));
        ::close(listener);
        return;
    }
    client_ = client.makeSocket(AF_INET, SOCK_STREAM);
    if (client_ < 0) {
        error_ = QStringLiteral("no socket in %1").arg(client.name());
    } else {
        setTimeouts(client_);
        if (::connect(client_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
            error_ = systemError(QStringLiteral("connecting to %1").arg(serverAddress));
        } else {
            server_ = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (server_ < 0)
                error_ = systemError(QStringLiteral("accepting"));
            else
                setTimeouts(server_);
        }
    }
    ::close(listener);
}

TcpConnection::~TcpConnection() {
    if (client_ >= 0)
        ::close(client_);
    if (server_ >= 0)
        ::close(server_);
}

bool TcpConnection::exchange(quint64 up, quint64 down) {
    if (!error_.isEmpty())
        return false;
    return move(client_, server_, up) && move(server_, client_, down);
}

bool TcpConnection::move(int from, int to, quint64 bytes) {
    const Clock::time_point deadline = Clock::now() + kMoveDeadline;
    std::atomic<int> sendError{0};
    std::thread writer([&] {
        const std::vector<char> chunk(kChunk, 'f');
        quint64 left = bytes;
        while (left > 0 && Clock::now() < deadline) {
            const std::size_t size = std::min<quint64>(left, chunk.size());
            const ssize_t sent = ::send(from, chunk.data(), size, MSG_NOSIGNAL);
            if (sent < 0 && errno == EINTR)
                continue;
            if (sent <= 0) {
                sendError = sent < 0 ? errno : EPIPE;
                return;
            }
            left -= static_cast<quint64>(sent);
        }
    });
    std::vector<char> buffer(kChunk);
    quint64 received = 0;
    int receiveError = 0;
    while (received < bytes && Clock::now() < deadline) {
        const std::size_t size = std::min<quint64>(bytes - received, buffer.size());
        const ssize_t got = ::recv(to, buffer.data(), size, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            receiveError = got < 0 ? errno : ECONNRESET;
            break;
        }
        received += static_cast<quint64>(got);
    }
    writer.join();
    if (received == bytes)
        return true;
    errno = sendError != 0 ? sendError.load() : receiveError;
    error_ = systemError(QStringLiteral("moved %1 of %2 bytes").arg(received).arg(bytes));
    return false;
}
