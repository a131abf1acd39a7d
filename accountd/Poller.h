#pragma once

#include <cstdint>
#include <functional>
#include <unordered_map>

namespace flowtally {

// The service's one loop: descriptors waited on with epoll, each with the
// handler of its events. A handler may add and remove descriptors, its own
// included; a removed one's events still pending are dropped.
class Poller {
  public:
    using Handler = std::function<void(std::uint32_t events)>;

    Poller();
    ~Poller();
    Poller(const Poller &) = delete;
    Poller &operator=(const Poller &) = delete;

    bool valid() const { return epoll_ >= 0; }
    bool add(int fd, std::uint32_t events, Handler handler);
    bool change(int fd, std::uint32_t events);
    void remove(int fd);
    // Waits at most `timeoutMs` (-1: no bound) and runs the handlers of
    // what became ready.
    void wait(int timeoutMs);

  private:
    int epoll_ = -1;
    std::uint64_t nextToken_ = 1;
    // Each registration has a token of its own: events of a descriptor
    // removed (and perhaps its number reused) find no handler.
    std::unordered_map<int, std::uint64_t> tokens_;
    std::unordered_map<std::uint64_t, Handler> handlers_;
};

} // namespace flowtally
