#include "tests/accountd/ServerHarness.h"

#include "tests/support/NetworkScene.h"

#include <cstring>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace flowtally {

int connectTo(const std::string &path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    setTimeouts(fd, 5);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string sendAndRead(int fd, const std::string &bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t now = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (now <= 0)
            break;
        sent += static_cast<std::size_t>(now);
    }
    std::string received;
    char buffer[65536];
    ssize_t got;
    while ((got = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
        received.append(buffer, static_cast<std::size_t>(got));
    return received;
}

ServerHarness::ServerHarness(Server::Limits limits, Server::Answer answer)
    : path_(folder_.filePath("accountd.sock").toStdString()) {
    stop_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    std::atomic<int> started{0};
    thread_ = std::thread([this, limits, answer, &started] {
        Poller poller;
        Server server(poller, answer, limits);
        error_ = server.listen(path_);
        bool running = error_.empty();
        poller.add(stop_, EPOLLIN, [&running](std::uint32_t) { running = false; });
        started = 1;
        while (running) {
            const int next = server.expire();
            poller.wait(next < 0 || next > 50 ? 50 : next);
            most_ = std::max<std::size_t>(most_, server.connections());
        }
    });
    while (!started)
        std::this_thread::yield();
}

ServerHarness::~ServerHarness() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(stop_, &one, sizeof one);
    thread_.join();
    ::close(stop_);
}

} // namespace flowtally
