#pragma once

#include "accountd/Server.h"

#include <QTemporaryDir>

#include <atomic>
#include <string>
#include <thread>

namespace flowtally {

// The tests' side of a Unix stream socket, plain system calls. A connected
// socket of the test's, or -1; sending and receiving on it give up after 5 s.
int connectTo(const std::string &path);
// Sends the bytes (as many as the peer takes), then reads until the peer
// closes or 5 s passed: what came.
std::string sendAndRead(int fd, const std::string &bytes);

// The service's socket server on a thread of its own, at a socket in a
// temporary folder, answering with `answer`; stopped when the object goes.
class ServerHarness {
  public:
    ServerHarness(Server::Limits limits, Server::Answer answer);
    ~ServerHarness();

    const std::string &path() const { return path_; }
    // What failed at the start, or empty.
    const std::string &error() const { return error_; }
    // The most connections that were open at once.
    std::size_t most() const { return most_; }

  private:
    QTemporaryDir folder_;
    std::string path_;
    std::string error_;
    std::atomic<std::size_t> most_{0};
    int stop_ = -1;
    std::thread thread_;
};

} // namespace flowtally
