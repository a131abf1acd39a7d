#include "accountd/Server.h"

#include "accountd/protocol/AccountdProtocol.h"

#include <cerrno>
#include <cstring>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace flowtally {

Server::Server(Poller &poller, Answer answer, Limits limits)
    : poller_(poller), answer_(std::move(answer)), limits_(limits) {}

Server::~Server() {
    while (!clients_.empty())
        drop(clients_.begin());
    if (listening_ >= 0) {
        poller_.remove(listening_);
        ::close(listening_);
        ::unlink(path_.c_str());
    }
}

std::string Server::listen(const std::string &path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return "the socket's path is empty or too long: " + path;
    std::memcpy(address.sun_path, path.data(), path.size());
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0) {
        if (!S_ISSOCK(status.st_mode))
            return path + " exists and is no socket";
        ::unlink(path.c_str());
    }
    listening_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listening_ < 0)
        return std::string("no socket: ") + std::strerror(errno);
    if (::bind(listening_, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        return "cannot listen at " + path + ": " + std::strerror(errno);
    path_ = path;
    if (::chmod(path.c_str(), 0666) != 0 || ::listen(listening_, SOMAXCONN) != 0 ||
        !poller_.add(listening_, EPOLLIN, [this](std::uint32_t) { acceptAll(); }))
        return "cannot listen at " + path + ": " + std::strerror(errno);
    return std::string();
}

int Server::expire() {
    const auto now = std::chrono::steady_clock::now();
    while (!clients_.empty() && clients_.front().deadline <= now)
        drop(clients_.begin());
    if (clients_.empty())
        return -1;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(clients_.front().deadline - now);
    return static_cast<int>(left.count()) + 1;
}

void Server::acceptAll() {
    for (;;) {
        const int fd = ::accept4(listening_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            // Out of descriptors: the oldest connection makes room, so
            // that the queue keeps moving.
            if ((errno == EMFILE || errno == ENFILE) && !clients_.empty()) {
                drop(clients_.begin());
                continue;
            }
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        ucred credentials{};
        socklen_t size = sizeof credentials;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) {
            ::close(fd);
            continue;
        }
        makeRoomFor(credentials.uid);
        Client client;
        client.fd = fd;
        client.uid = credentials.uid;
        client.deadline = std::chrono::steady_clock::now() + limits_.deadline;
        const auto added = clients_.insert(clients_.end(), std::move(client));
        if (!poller_.add(fd, EPOLLIN,
                         [this, added](std::uint32_t events) { serve(added, events); })) {
            ::close(fd);
            clients_.erase(added);
        }
    }
}

void Server::makeRoomFor(std::uint32_t uid) {
    std::size_t ofUser = 0;
    Clients::iterator oldestOfUser = clients_.end();
    for (auto client = clients_.begin(); client != clients_.end(); ++client) {
        if (client->uid != uid)
            continue;
        if (oldestOfUser == clients_.end())
            oldestOfUser = client;
        ++ofUser;
    }
    if (ofUser >= limits_.connectionsPerUser)
        drop(oldestOfUser);
    if (clients_.size() >= limits_.connections)
        drop(clients_.begin());
}

void Server::serve(Clients::iterator client, std::uint32_t events) {
    if (client->answered) {
        if (events & (EPOLLERR | EPOLLHUP))
            drop(client);
        else
            flush(client);
        return;
    }
    char buffer[kAccountdRequestLimit];
    const std::size_t room = kAccountdRequestLimit - client->request.size();
    const ssize_t got = ::recv(client->fd, buffer, room, MSG_DONTWAIT);
    if (got < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (got <= 0) {
        drop(client);
        return;
    }
    client->request.append(buffer, static_cast<std::size_t>(got));
    if (client->request.find('\n') != std::string::npos ||
        client->request.size() >= kAccountdRequestLimit) {
        respond(*client);
        flush(client);
    }
}

void Server::respond(Client &client) {
    const std::string_view request = client.request;
    const std::string_view line = request.substr(0, request.find('\n'));
    std::string answer;
    if (std::string_view(kAccountdRequest).substr(0, kAccountdRequest.size() - 1) == line) {
        answer = answer_(client.uid);
        if (answer.size() > limits_.answerBytes)
            answer = accountdErrorLine("too-large");
        else if (waiting_ + answer.size() > limits_.waitingBytes)
            answer = accountdErrorLine("busy");
    } else if (line.size() < request.size() && line.starts_with("counters ")) {
        answer = accountdErrorLine("unsupported-version");
    } else {
        answer = accountdErrorLine("bad-request");
    }
    client.answered = true;
    client.answer = std::move(answer);
    waiting_ += client.answer.size();
    poller_.change(client.fd, EPOLLOUT);
}

void Server::flush(Clients::iterator client) {
    while (client->sent < client->answer.size()) {
        const ssize_t sent =
            ::send(client->fd, client->answer.data() + client->sent,
                   client->answer.size() - client->sent, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && errno == EAGAIN)
            return;
        if (sent <= 0)
            break;
        client->sent += static_cast<std::size_t>(sent);
    }
    drop(client);
}

void Server::drop(Clients::iterator client) {
    poller_.remove(client->fd);
    ::close(client->fd);
    waiting_ -= client->answer.size();
    clients_.erase(client);
}

} // namespace flowtally
