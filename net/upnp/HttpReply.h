#pragma once

#include <QByteArray>
#include <QString>

namespace flowtally {

// What a router's HTTP server sent back, read from the bytes received so
// far: a plain function of the bytes, safe on any thread, with no socket of
// its own. The client reads again after every arrival until the reply is
// whole or has failed.
struct HttpReply {
    enum class State {
        // More bytes are needed (and may still come).
        Incomplete,
        // The status and the whole body are there.
        Complete,
        // Not a reply Flowtally takes: `failure` says why, for a log line.
        Failed,
    };
    State state = State::Incomplete;
    int status = 0;
    QByteArray body;
    QString failure;
};

// The limits of a reply: the header lines together, and the body as it is
// delivered (after chunked framing is taken off). The bytes received in all
// may be at most twice the two together, framing included.
struct HttpLimits {
    qsizetype headerBytes = 8 * 1024;
    qsizetype bodyBytes = 64 * 1024;
};

// Reads "HTTP/1.x NNN reason", the header lines (CRLF or LF) and the body,
// framed by Content-Length, by chunks (Transfer-Encoding: chunked), or by
// the end of the connection (`closed`: the server closed its side and no
// more bytes come). Informational replies (1xx) before the real one are
// passed over. A body over the limit fails as soon as its size is known;
// so do a Content-Length that is not one number, another transfer coding,
// and a connection closed before the reply is whole.
HttpReply readHttpReply(const QByteArray &received, bool closed, const HttpLimits &limits = {});

} // namespace flowtally
