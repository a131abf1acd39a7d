#pragma once

#include "net/upnp/HttpReply.h"
#include "platform/system/Status.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

namespace flowtally {

// One HTTP request to a router: a new connection, the request with
// "Connection: close", the reply read by readHttpReply until it is whole,
// the connection closed. Blocking, on whichever thread calls it (no event
// loop needs to run there); it never waits past the deadline. Goes to the
// URL's IPv4 address itself: no name is looked up and no proxy is asked,
// whatever the environment says.
struct HttpRequest {
    QByteArray method = "GET";
    // http://ADDRESS:PORT/path: an IPv4 address, never a name.
    QUrl url;
    // Lines beside Host, Content-Length and Connection, which the request
    // always has.
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
};

// The reply, whatever its status; a failure when no whole reply came in time
// or what came is refused (see readHttpReply). `localAddress`: this
// computer's address on the LAN, which the connection leaves from; empty:
// the kernel chooses.
Status exchangeHttp(const HttpRequest &request, const QString &localAddress,
                    const QDeadlineTimer &deadline, HttpReply *reply,
                    const HttpLimits &limits = {});

} // namespace flowtally
