#include "tests/support/ScriptedIgd.h"

#include <QElapsedTimer>
#include <QList>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace flowtally {

// What one request may be, and how long its reading may take.
constexpr qsizetype kRequestBytes = 1 << 20;
constexpr int kReadMs = 5000;

ScriptedIgd::ScriptedIgd(Handler handler, int listeningSocket)
    : handler_(std::move(handler)), listener_(listeningSocket) {
    if (listener_ < 0) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(listener_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
            ::listen(listener_, 16) != 0) {
            ::close(listener_);
            listener_ = -1;
            return;
        }
    }
    sockaddr_in bound{};
    socklen_t size = sizeof bound;
    if (::getsockname(listener_, reinterpret_cast<sockaddr *>(&bound), &size) != 0)
        return;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &bound.sin_addr, text, sizeof text);
    origin_ =
        QStringLiteral("http://%1:%2").arg(QString::fromLatin1(text)).arg(ntohs(bound.sin_port));
    thread_ = std::thread([this] { serve(); });
}

ScriptedIgd::~ScriptedIgd() {
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
    if (listener_ >= 0)
        ::close(listener_);
}

QByteArray ScriptedIgd::reply(int status, const QByteArray &body) {
    return "HTTP/1.1 " + QByteArray::number(status) +
           " Scripted\r\nContent-Type: text/xml; charset=\"utf-8\"\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

void ScriptedIgd::serve() {
    while (!stopping_) {
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, 20) <= 0)
            continue;
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue;
        answer(connection);
        ::close(connection);
    }
}

void ScriptedIgd::answer(int connection) {
    QElapsedTimer reading;
    reading.start();
    // Waits that end early when the responder goes.
    const auto pause = [this](int ms) {
        for (int waited = 0; waited < ms && !stopping_; waited += 10)
            ::usleep(10 * 1000);
    };

    Request request;
    QByteArray received;
    qsizetype headEnd = -1, length = 0;
    while (received.size() < kRequestBytes && !reading.hasExpired(kReadMs) && !stopping_ &&
           (headEnd < 0 || received.size() < headEnd + length)) {
        pollfd readable{connection, POLLIN, 0};
        if (::poll(&readable, 1, 20) <= 0)
            continue;
        char buffer[4096];
        const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
        if (got <= 0)
            return;
        received.append(buffer, got);
        if (headEnd < 0 && (headEnd = received.indexOf("\r\n\r\n")) >= 0) {
            headEnd += 4;
            const QList<QByteArray> lines = received.left(headEnd).split('\n');
            const QList<QByteArray> words = lines.first().split(' ');
            request.method = words.value(0);
            request.path = words.value(1);
            for (const QByteArray &line : lines) {
                const qsizetype colon = line.indexOf(':');
                const QByteArray name = line.left(colon).trimmed().toLower();
                const QByteArray value = line.mid(colon + 1).trimmed();
                if (name == "content-length")
                    length = value.toLongLong();
                else if (name == "soapaction")
                    request.soapAction = value.mid(value.indexOf('#') + 1).replace('"', "");
            }
        }
    }
    // The body is read (so that the client's sending ends) and left aside.
    if (headEnd < 0)
        return;
    const Answer said = handler_(request);
    ++requests_;
    pause(said.delayMs);
    const qsizetype piece = said.pieceBytes > 0 ? said.pieceBytes : said.bytes.size();
    for (qsizetype at = 0; at < said.bytes.size() && !stopping_; at += piece) {
        if (at > 0)
            pause(said.pauseMs);
        const qsizetype size = std::min(piece, said.bytes.size() - at);
        if (::send(connection, said.bytes.constData() + at, size_t(size), MSG_NOSIGNAL) < 0)
            return;
    }
    ::shutdown(connection, SHUT_WR);
    // Let the client read to the end before the connection goes.
    char drain[256];
    pollfd readable{connection, POLLIN, 0};
    while (!stopping_ && ::poll(&readable, 1, 200) > 0 &&
           ::recv(connection, drain, sizeof drain, 0) > 0) {
    }
}

} // namespace flowtally
