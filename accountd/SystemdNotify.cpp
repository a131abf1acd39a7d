#include "accountd/SystemdNotify.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace flowtally {

void notifySystemd(std::string_view state) {
    const char *path = std::getenv("NOTIFY_SOCKET");
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t length = path ? std::strlen(path) : 0;
    if (length < 2 || length >= sizeof address.sun_path || (path[0] != '/' && path[0] != '@'))
        return;
    std::memcpy(address.sun_path, path, length);
    // "@" names an abstract socket: a name that begins with a zero byte.
    if (path[0] == '@')
        address.sun_path[0] = '\0';
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length);
    ::sendto(fd, state.data(), state.size(), MSG_NOSIGNAL,
             reinterpret_cast<const sockaddr *>(&address), size);
    ::close(fd);
}

} // namespace flowtally
