#include "tests/accountd/ServerHarness.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace flowtally {

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
