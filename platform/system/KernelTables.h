#pragma once

// The kernel's tables that Flowtally reads: the IPv4 routing table for the
// default route, and the IPv4 neighbour (address-resolution) table. Each is
// read from its file in /proc and parsed from that text, which may be
// anything: a line that does not read as an entry is passed over. Plain
// C++ without Qt: the helper tools use them too and must start fast.

#include <arpa/inet.h>

#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

namespace flowtally {

struct DefaultRoute {
    std::string interface;
    // The router's dotted address; absent for a route without a gateway
    // (a point-to-point link).
    std::optional<std::string> router;
    unsigned long metric = 0;
};

inline const char *const kKernelRouteTable = "/proc/net/route";

// The dotted form of an address as the kernel's tables print it: the
// network-order 32 bits as one hexadecimal number.
inline std::string dottedAddressFromKernelHex(std::uint32_t networkOrder) {
    in_addr address{};
    address.s_addr = networkOrder;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

// A file's whole text; empty when it cannot be read.
inline std::string kernelTableText(const std::string &path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The usable default route of lowest metric in the text of a routing table
// laid out as /proc/net/route (a header line, then one route a line); the
// first listed wins a tie. Nothing when the table has no default route.
inline std::optional<DefaultRoute> defaultRouteInTable(std::string_view table) {
    constexpr unsigned long routeUp = 0x1;
    constexpr unsigned long routeViaGateway = 0x2;

    std::istringstream lines{std::string(table)};
    std::string line;
    std::getline(lines, line); // column header
    std::optional<DefaultRoute> best;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string interface;
        std::uint32_t destination = 0, gateway = 0, mask = 0;
        unsigned long flags = 0, referenceCount = 0, use = 0, metric = 0;
        fields >> interface >> std::hex >> destination >> gateway >> flags >> std::dec >>
            referenceCount >> use >> metric >> std::hex >> mask;
        if (!fields || destination != 0 || mask != 0 || !(flags & routeUp))
            continue;
        if (best && best->metric <= metric)
            continue;
        DefaultRoute route{interface, std::nullopt, metric};
        if ((flags & routeViaGateway) && gateway != 0)
            route.router = dottedAddressFromKernelHex(gateway);
        best = route;
    }
    return best;
}

// The same from the table's file; nothing when it cannot be read.
inline std::optional<DefaultRoute> defaultRoute(const std::string &routeTable = kKernelRouteTable) {
    return defaultRouteInTable(kernelTableText(routeTable));
}

struct Neighbour {
    std::string address;
    unsigned hardwareType = 0; // ARPHRD_*: 1 is Ethernet (Wi-Fi included)
    std::string hardwareAddress;
    std::string device;
};

inline const char *const kKernelNeighbourTable = "/proc/net/arp";

// The resolved entry for a dotted address in the text of a neighbour table
// laid out as /proc/net/arp (a header line, then one entry a line). Entries
// still being resolved or found unreachable carry no hardware address and
// are left out.
inline std::optional<Neighbour> resolvedNeighbourInTable(const std::string &address,
                                                         std::string_view table) {
    constexpr unsigned complete = 0x2;  // ATF_COM
    constexpr unsigned permanent = 0x4; // ATF_PERM

    std::istringstream lines{std::string(table)};
    std::string line;
    std::getline(lines, line); // column header
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        Neighbour neighbour;
        unsigned flags = 0;
        std::string mask;
        fields >> neighbour.address >> std::hex >> neighbour.hardwareType >> flags >>
            neighbour.hardwareAddress >> mask >> neighbour.device;
        if (fields && neighbour.address == address && (flags & (complete | permanent)))
            return neighbour;
    }
    return std::nullopt;
}

// The same from the table's file; nothing when it cannot be read.
inline std::optional<Neighbour>
resolvedNeighbour(const std::string &address, const std::string &table = kKernelNeighbourTable) {
    return resolvedNeighbourInTable(address, kernelTableText(table));
}

} // namespace flowtally
