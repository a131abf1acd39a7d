// flowtally-arp HOST
//
// Answers in the layout of the BSD arp for one host:
//   "? (ADDRESS) at HW on IF [ethernet]" for a resolved neighbour entry,
//   "NAME (ADDRESS) -- no entry" otherwise.
// HOST is a dotted address or a host name. This computer's own name, which
// the resolver often knows only as a loopback address (Debian's 127.0.1.1),
// stands for the address of the primary interface.
#include "platform/system/KernelTables.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <optional>
#include <string>

using flowtally::defaultRoute;
using flowtally::resolvedNeighbour;

namespace {

bool isLoopback(const in_addr &address) {
    return (ntohl(address.s_addr) >> 24) == 127;
}

std::string dotted(const in_addr &address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

// The resolver's IPv4 addresses for a name, the first non-loopback one
// preferred.
std::optional<in_addr> resolve(const std::string &name) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *results = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &results) != 0)
        return std::nullopt;
    std::optional<in_addr> found;
    for (const addrinfo *result = results; result; result = result->ai_next) {
        const in_addr address = reinterpret_cast<const sockaddr_in *>(result->ai_addr)->sin_addr;
        if (!found || (isLoopback(*found) && !isLoopback(address)))
            found = address;
    }
    freeaddrinfo(results);
    return found;
}

// The first IPv4 address of the interface that carries the default route.
std::optional<in_addr> primaryInterfaceAddress() {
    const auto route = defaultRoute();
    if (!route)
        return std::nullopt;
    ifaddrs *interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0)
        return std::nullopt;
    std::optional<in_addr> found;
    for (const ifaddrs *entry = interfaces; entry && !found; entry = entry->ifa_next) {
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET &&
            route->interface == entry->ifa_name)
            found = reinterpret_cast<const sockaddr_in *>(entry->ifa_addr)->sin_addr;
    }
    freeifaddrs(interfaces);
    return found;
}

bool isOwnHostName(const std::string &name) {
    char own[HOST_NAME_MAX + 1] = {};
    return gethostname(own, sizeof own - 1) == 0 && name == own;
}

std::optional<in_addr> addressOf(const std::string &host) {
    in_addr address{};
    if (inet_pton(AF_INET, host.c_str(), &address) == 1)
        return address;
    auto resolved = resolve(host);
    if (isOwnHostName(host) && (!resolved || isLoopback(*resolved))) {
        if (auto primary = primaryInterfaceAddress())
            return primary;
    }
    return resolved;
}

const char *interfaceType(unsigned hardwareType) {
    constexpr unsigned ethernet = 1; // ARPHRD_ETHER
    return hardwareType == ethernet ? "ethernet" : "other";
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2 || argv[1][0] == '\0' || argv[1][0] == '-') {
        std::fputs("usage: flowtally-arp hostname\n", stderr);
        return 1;
    }
    const std::string host = argv[1];
    const auto address = addressOf(host);
    if (!address) {
        std::fprintf(stderr, "arp: %s: Unknown host\n", host.c_str());
        return 1;
    }
    const std::string dottedAddress = dotted(*address);
    if (const auto neighbour = resolvedNeighbour(dottedAddress)) {
        std::printf("? (%s) at %s on %s [%s]\n", dottedAddress.c_str(),
                    neighbour->hardwareAddress.c_str(), neighbour->device.c_str(),
                    interfaceType(neighbour->hardwareType));
    } else {
        std::printf("%s (%s) -- no entry\n", host.c_str(), dottedAddress.c_str());
    }
    return 0;
}
