#pragma once

#include "NetworkNamespace.h"

#include <QString>

// A TCP connection from a client in one namespace to a listener in another,
// over which known amounts of data are moved. TCP loses nothing, so every
// byte moved has crossed both interfaces at least once (with its headers on
// top). Every blocking call is bounded by socket timeouts of a few seconds.
class TcpConnection {
  public:
    TcpConnection(const NetworkNamespace &client, const NetworkNamespace &server,
                  const QString &serverAddress);
    ~TcpConnection();
    TcpConnection(const TcpConnection &) = delete;
    TcpConnection &operator=(const TcpConnection &) = delete;

    // Why the connection could not be made or broke; empty while it works.
    const QString &error() const { return error_; }

    // Sends `up` bytes from the client to the server, then `down` bytes
    // back, each read whole by the other end. False when a side gave up.
    bool exchange(quint64 up, quint64 down);

  private:
    bool move(int from, int to, quint64 bytes);

    int client_ = -1;
    int server_ = -1;
    QString error_;
};
