#include "accountd/client/AccountdClient.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace flowtally {

namespace {

using Clock = std::chrono::steady_clock;

// The most an answer may hold: far more than the service's own bound.
constexpr std::size_t kAnswerLimit = 64u << 20;

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

AccountdReading failed(std::string error) {
    AccountdReading reading;
    reading.outcome = AccountdReading::Outcome::Failed;
    reading.error = std::move(error);
    return reading;
}

// Waits for the socket to be ready for `events` until the deadline; false
// when the time ran out.
bool waitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

} // namespace

AccountdReading readAccountd(const std::string &socketPath, std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.empty() || socketPath.size() >= sizeof address.sun_path)
        return failed("the socket's path is empty or too long: " + socketPath);
    std::memcpy(address.sun_path, socketPath.data(), socketPath.size());

    const Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (socket.get() < 0)
        return failed(std::string("no socket: ") + std::strerror(errno));
    // A service whose queue of connections is full refuses for a moment
    // (EAGAIN); the connection is tried again until the deadline.
    for (;;) {
        if (::connect(socket.get(), reinterpret_cast<const sockaddr *>(&address), sizeof address) ==
            0)
            break;
        const int error = errno;
        if (error == ENOENT || error == ECONNREFUSED) {
            AccountdReading reading;
            reading.outcome = AccountdReading::Outcome::Absent;
            reading.error = "flowtally-accountd is not running (" + socketPath + ": " +
                            std::strerror(error) + ")";
            return reading;
        }
        if (error != EAGAIN && error != EINTR)
            return failed("cannot connect to " + socketPath + ": " + std::strerror(error));
        if (Clock::now() >= deadline)
            return failed("flowtally-accountd accepts no connection");
        ::usleep(5000);
    }

    std::string_view request = kAccountdRequest;
    while (!request.empty()) {
        const ssize_t sent = ::send(socket.get(), request.data(), request.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            request.remove_prefix(static_cast<std::size_t>(sent));
        } else if (errno == EAGAIN) {
            if (!waitFor(socket.get(), POLLOUT, deadline))
                return failed("flowtally-accountd takes no request");
        } else if (errno != EINTR) {
            return failed(std::string("cannot ask flowtally-accountd: ") + std::strerror(errno));
        }
    }

    std::string answer;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::recv(socket.get(), buffer, sizeof buffer, 0);
        if (got > 0) {
            answer.append(buffer, static_cast<std::size_t>(got));
            if (answer.size() > kAnswerLimit)
                return failed("flowtally-accountd's answer is too long");
        } else if (got == 0) {
            break;
        } else if (errno == EAGAIN) {
            if (!waitFor(socket.get(), POLLIN, deadline))
                return failed("flowtally-accountd did not answer in time");
        } else if (errno != EINTR) {
            return failed(std::string("cannot read flowtally-accountd's answer: ") +
                          std::strerror(errno));
        }
    }

    AccountdReading reading;
    std::string error;
    auto counters = readAccountdAnswer(answer, &error);
    if (!counters)
        return failed(error);
    reading.outcome = AccountdReading::Outcome::Counters;
    reading.counters = std::move(*counters);
    return reading;
}

} // namespace flowtally
