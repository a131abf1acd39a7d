#include "accountd/Poller.h"

#include <sys/epoll.h>
#include <unistd.h>

namespace flowtally {

namespace {

constexpr int kEventsAtOnce = 64;

}

Poller::Poller() : epoll_(::epoll_create1(EPOLL_CLOEXEC)) {}

Poller::~Poller() {
    if (epoll_ >= 0)
        ::close(epoll_);
}

bool Poller::add(int fd, std::uint32_t events, Handler handler) {
    const std::uint64_t token = nextToken_++;
    epoll_event event{};
    event.events = events;
    event.data.u64 = token;
    if (tokens_.contains(fd) || ::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event) != 0)
        return false;
    tokens_[fd] = token;
    handlers_[token] = std::move(handler);
    return true;
}

bool Poller::change(int fd, std::uint32_t events) {
    const auto found = tokens_.find(fd);
    if (found == tokens_.end())
        return false;
    epoll_event event{};
    event.events = events;
    event.data.u64 = found->second;
    return ::epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &event) == 0;
}

void Poller::remove(int fd) {
    const auto found = tokens_.find(fd);
    if (found == tokens_.end())
        return;
    ::epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
    handlers_.erase(found->second);
    tokens_.erase(found);
}

void Poller::wait(int timeoutMs) {
    epoll_event events[kEventsAtOnce];
    const int ready = ::epoll_wait(epoll_, events, kEventsAtOnce, timeoutMs);
    for (int index = 0; index < ready; ++index) {
        // epoll_event is packed: its token is copied out, not referred to
        // where it lies unaligned.
        const std::uint64_t token = events[index].data.u64;
        const auto found = handlers_.find(token);
        if (found == handlers_.end())
            continue;
        // A copy: the handler may remove its own entry.
        const Handler handler = found->second;
        handler(events[index].events);
    }
}

} // namespace flowtally
