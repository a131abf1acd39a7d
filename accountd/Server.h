#pragma once

#include "accountd/Poller.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <string>

namespace flowtally {

// The service's Unix stream socket. Each connection asks one question and
// gets one answer, made for the caller's user as the kernel names it
// (SO_PEERCRED), and is closed. Nothing a caller does can hold the
// service up: everything is non-blocking; a connection has a deadline to
// ask and read its answer by; a request is at most one short line; the
// connections are bounded in number, for each user and for all (the
// oldest goes for a new one), and so are the bytes of answers waiting to
// be read.
class Server {
  public:
    struct Limits {
        std::size_t connections = 256;
        std::size_t connectionsPerUser = 16;
        std::chrono::milliseconds deadline{2000};
        std::size_t answerBytes = 8u << 20;
        std::size_t waitingBytes = 64u << 20;
    };
    // The answer to a caller of a user.
    using Answer = std::function<std::string(std::uint32_t uid)>;

    Server(Poller &poller, Answer answer) : Server(poller, std::move(answer), Limits()) {}
    Server(Poller &poller, Answer answer, Limits limits);
    ~Server();
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;

    // Listens at `path` (a socket left there by an earlier run is
    // replaced), mode 0666: every local user may connect. What failed, or
    // empty.
    std::string listen(const std::string &path);
    // Closes the connections whose deadline passed; the milliseconds until
    // the next deadline, or -1 when no connection is open.
    int expire();

    std::size_t connections() const { return clients_.size(); }

  private:
    struct Client {
        int fd = -1;
        std::uint32_t uid = 0;
        std::chrono::steady_clock::time_point deadline;
        std::string request;
        std::string answer;
        std::size_t sent = 0;
        bool answered = false;
    };
    using Clients = std::list<Client>;

    void acceptAll();
    void serve(Clients::iterator client, std::uint32_t events);
    void respond(Client &client);
    void flush(Clients::iterator client);
    void drop(Clients::iterator client);
    void makeRoomFor(std::uint32_t uid);

    Poller &poller_;
    Answer answer_;
    Limits limits_;
    int listening_ = -1;
    std::string path_;
    Clients clients_; // oldest first: in the order of their deadlines
    std::size_t waiting_ = 0;
};

} // namespace flowtally
