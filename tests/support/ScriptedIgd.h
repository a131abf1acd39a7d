#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <thread>

namespace flowtally {

// A router's UPnP side as a test scripts it: an HTTP responder on a thread
// of its own that answers every request with what the test's handler says,
// for what a real IGD does not do (counters that wrap or stick, errors,
// huge or slow answers). It serves on 127.0.0.1 at a port of the kernel's
// choice, or on a listening socket the test made (in a namespace of its
// own); one connection at a time, each closed after its answer.
class ScriptedIgd {
  public:
    struct Request {
        QByteArray method, path;
        QByteArray soapAction; // the action's name after '#', without quotes
    };
    struct Answer {
        QByteArray bytes;
        // Waits this long before the first byte.
        int delayMs = 0;
        // Sends the bytes in pieces of this size with this pause between
        // them (0: at once).
        int pieceBytes = 0;
        int pauseMs = 0;
    };
    using Handler = std::function<Answer(const Request &)>;

    explicit ScriptedIgd(Handler handler, int listeningSocket = -1);
    ~ScriptedIgd();
    ScriptedIgd(const ScriptedIgd &) = delete;
    ScriptedIgd &operator=(const ScriptedIgd &) = delete;

    // Where it serves, "http://ADDRESS:PORT"; empty when it could not listen.
    QString origin() const { return origin_; }
    // Requests answered so far.
    int requests() const { return requests_; }

    // An HTTP reply of XML with Content-Length and Connection: close.
    static QByteArray reply(int status, const QByteArray &body);

  private:
    void serve();
    void answer(int connection);

    Handler handler_;
    int listener_ = -1;
    QString origin_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> requests_{0};
    std::thread thread_;
};

} // namespace flowtally
