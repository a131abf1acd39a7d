#include "net/upnp/HttpReply.h"

#include <QList>

#include <cctype>

namespace flowtally {

namespace {

// Interim replies (100 Continue and the like) passed over before the real one.
constexpr int kInterimReplies = 4;
// The line that gives a chunk's size, extensions included.
constexpr qsizetype kChunkLineBytes = 256;

HttpReply failed(const QString &why) {
    HttpReply reply;
    reply.state = HttpReply::State::Failed;
    reply.failure = why;
    return reply;
}

HttpReply incomplete() {
    return {};
}

HttpReply complete(int status, QByteArray body) {
    HttpReply reply;
    reply.state = HttpReply::State::Complete;
    reply.status = status;
    reply.body = std::move(body);
    return reply;
}

// The index after the empty line that ends the lines beginning at `from`
// (or after the first line end when the lines begin with it); -1 when the
// bytes hold no such end yet.
qsizetype endOfLines(const QByteArray &bytes, qsizetype from) {
    qsizetype at = from;
    if (at < bytes.size() && bytes.at(at) == '\r')
        ++at;
    if (at < bytes.size() && bytes.at(at) == '\n')
        return at + 1;
    for (qsizetype end = bytes.indexOf('\n', from); end >= 0; end = bytes.indexOf('\n', end + 1)) {
        qsizetype next = end + 1;
        if (next < bytes.size() && bytes.at(next) == '\r')
            ++next;
        if (next < bytes.size() && bytes.at(next) == '\n')
            return next + 1;
    }
    return -1;
}

bool isDigits(const QByteArray &text) {
    if (text.isEmpty())
        return false;
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// What the header lines say about the body.
struct Head {
    int status = 0;
    bool chunked = false;
    bool hasLength = false;
    qint64 length = 0;
    QString failure;
};

Head readHead(const QByteArray &text, qsizetype bodyLimit) {
    Head head;
    QList<QByteArray> lines = text.split('\n');
    for (QByteArray &line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    const QByteArray &statusLine = lines.value(0);
    // "HTTP/1.1 200 OK": the version, one space, three digits, then a space
    // and the reason or nothing.
    const QByteArray code = statusLine.mid(9, 3);
    if (!statusLine.startsWith("HTTP/1.") || statusLine.size() < 12 || statusLine.at(8) != ' ' ||
        !isDigits(code) || code.startsWith('0') ||
        (statusLine.size() > 12 && statusLine.at(12) != ' ')) {
        head.failure = QStringLiteral("not an HTTP reply");
        return head;
    }
    head.status = code.toInt();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        if (line.isEmpty())
            break;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || line.at(0) == ' ' || line.at(0) == '\t') {
            head.failure = QStringLiteral("a header line of no known shape");
            return head;
        }
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "content-length") {
            // Leading zeros aside, more than 18 digits is more than any limit.
            QByteArray digits = value;
            while (digits.size() > 1 && digits.startsWith('0'))
                digits.remove(0, 1);
            if (!isDigits(digits) || digits.size() > 18) {
                head.failure = QStringLiteral("a Content-Length that is not a number");
                return head;
            }
            const qint64 length = digits.toLongLong();
            if (head.hasLength && length != head.length) {
                head.failure = QStringLiteral("two Content-Length values");
                return head;
            }
            head.hasLength = true;
            head.length = length;
        } else if (name == "transfer-encoding") {
            if (value.toLower() != "chunked") {
                head.failure = QStringLiteral("the transfer coding \"%1\"")
                                   .arg(QString::fromLatin1(value.left(40)));
                return head;
            }
            head.chunked = true;
        }
    }
    if (!head.chunked && head.hasLength && head.length > bodyLimit)
        head.failure =
            QStringLiteral("a body of %1 bytes, over %2").arg(head.length).arg(bodyLimit);
    return head;
}

// The body in chunks from `from` on.
HttpReply readChunks(const QByteArray &bytes, qsizetype from, bool closed, int status,
                     qsizetype bodyLimit) {
    QByteArray body;
    qsizetype at = from;
    for (;;) {
        const qsizetype lineEnd = bytes.indexOf('\n', at);
        if (lineEnd < 0) {
            if (bytes.size() - at > kChunkLineBytes)
                return failed(QStringLiteral("a chunk size line too long"));
            return closed ? failed(QStringLiteral("the connection closed inside the body"))
                          : incomplete();
        }
        if (lineEnd - at > kChunkLineBytes)
            return failed(QStringLiteral("a chunk size line too long"));
        QByteArray sizeText = bytes.mid(at, lineEnd - at);
        const qsizetype extension = sizeText.indexOf(';');
        if (extension >= 0)
            sizeText.truncate(extension);
        sizeText = sizeText.trimmed();
        bool hex = !sizeText.isEmpty() && sizeText.size() <= 8;
        for (const char c : sizeText)
            hex = hex && std::isxdigit(static_cast<unsigned char>(c));
        if (!hex)
            return failed(QStringLiteral("a chunk size that is not a number"));
        const qint64 size = sizeText.toLongLong(nullptr, 16);
        at = lineEnd + 1;
        if (size == 0) {
            // Trailer lines, if any, end with an empty line; a server that
            // closes right after the last chunk has said all it had.
            if (endOfLines(bytes, at) < 0 && !closed)
                return incomplete();
            return complete(status, body);
        }
        if (body.size() + size > bodyLimit)
            return failed(QStringLiteral("a body over %1 bytes").arg(bodyLimit));
        qsizetype after = at + qsizetype(size);
        if (after < bytes.size() && bytes.at(after) == '\r')
            ++after;
        if (after >= bytes.size())
            return closed ? failed(QStringLiteral("the connection closed inside the body"))
                          : incomplete();
        if (bytes.at(after) != '\n')
            return failed(QStringLiteral("a chunk of another length than it said"));
        body.append(bytes.constData() + at, qsizetype(size));
        at = after + 1;
    }
}

} // namespace

HttpReply readHttpReply(const QByteArray &received, bool closed, const HttpLimits &limits) {
    if (received.size() > 2 * (limits.headerBytes + limits.bodyBytes))
        return failed(QStringLiteral("a reply over %1 bytes")
                          .arg(2 * (limits.headerBytes + limits.bodyBytes)));
    qsizetype from = 0;
    for (int interim = 0; interim <= kInterimReplies; ++interim) {
        const qsizetype bodyStart = endOfLines(received, from);
        if (bodyStart < 0 || bodyStart - from > limits.headerBytes) {
            if (bodyStart >= 0 || received.size() - from > limits.headerBytes)
                return failed(QStringLiteral("header lines over %1 bytes").arg(limits.headerBytes));
            if (!closed)
                return incomplete();
            return failed(received.size() == from
                              ? QStringLiteral("the connection closed without a reply")
                              : QStringLiteral("the connection closed inside the header"));
        }
        const Head head = readHead(received.mid(from, bodyStart - from), limits.bodyBytes);
        if (!head.failure.isEmpty())
            return failed(head.failure);
        if (head.status >= 100 && head.status < 200) {
            from = bodyStart;
            continue;
        }
        if (head.status == 204 || head.status == 304)
            return complete(head.status, {});
        if (head.chunked)
            return readChunks(received, bodyStart, closed, head.status, limits.bodyBytes);
        const qsizetype have = received.size() - bodyStart;
        if (head.hasLength) {
            if (have >= head.length)
                return complete(head.status, received.mid(bodyStart, qsizetype(head.length)));
            return closed ? failed(QStringLiteral("the connection closed inside the body"))
                          : incomplete();
        }
        if (have > limits.bodyBytes)
            return failed(QStringLiteral("a body over %1 bytes").arg(limits.bodyBytes));
        return closed ? complete(head.status, received.mid(bodyStart)) : incomplete();
    }
    return failed(QStringLiteral("more than %1 interim replies").arg(kInterimReplies));
}

} // namespace flowtally
