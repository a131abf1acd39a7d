#pragma once

// The kernel's tables that Flowtally reads: the IPv4 routing table for the
// default route, and the IPv4 neighbour (address-resolution) table. Each is
// read from its file in /proc and parsed from that text, which may be
// anything: a line that does not read as an entry is passed over. Plain
// C++ without Qt: the helper tools use them too and must start fast.

#include <arpa/inet.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <optional>
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

// A file's whole text; empty when it cannot be read. Read with bare system
// calls: Flowtally reads both tables several times a tick.
inline std::string kernelTableText(const std::string &path) {
    // No table Flowtally reads comes near this; a file that does is cut.
    constexpr std::size_t kLongest = 4 << 20;
    const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return {};
    std::string text;
    char chunk[8192];
    while (text.size() < kLongest) {
        const ssize_t length = read(file, chunk, sizeof chunk);
        if (length < 0 && errno == EINTR)
            continue;
        if (length <= 0)
            break;
        text.append(chunk, static_cast<std::size_t>(length));
    }
    close(file);
    return text;
}

// The whitespace-separated fields of one line of a table, as many as fit.
template <std::size_t N> struct TableFields {
    std::array<std::string_view, N> field;
    std::size_t count = 0;

    explicit TableFields(std::string_view line) {
        constexpr std::string_view blanks = " \t\r\v\f";
        for (std::size_t at = line.find_first_not_of(blanks);
             at != std::string_view::npos && count < N; at = line.find_first_not_of(blanks, at)) {
            const std::size_t end = std::min(line.find_first_of(blanks, at), line.size());
            field[count++] = line.substr(at, end - at);
            at = end;
        }
    }
};

// A whole field as an unsigned number in the base, hexadecimal with or
// without "0x" (the neighbour table writes it, the routing table does not);
// nothing for any other text.
template <typename Number> std::optional<Number> tableNumber(std::string_view text, int base) {
    if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Calls `each` with every line of a table's text but its first (the column
// header).
template <typename Each> void forEachTableEntry(std::string_view table, Each each) {
    std::size_t at = table.find('\n');
    while (at != std::string_view::npos && at + 1 < table.size()) {
        const std::size_t end = table.find('\n', at + 1);
        each(table.substr(at + 1, (end == std::string_view::npos ? table.size() : end) - at - 1));
        at = end;
    }
}

// The usable default route of lowest metric in the text of a routing table
// laid out as /proc/net/route (a header line, then one route a line); the
// first listed wins a tie. Nothing when the table has no default route.
inline std::optional<DefaultRoute> defaultRouteInTable(std::string_view table) {
    constexpr unsigned long routeUp = 0x1;
    constexpr unsigned long routeViaGateway = 0x2;

    std::optional<DefaultRoute> best;
    forEachTableEntry(table, [&best](std::string_view line) {
        // Iface Destination Gateway Flags RefCnt Use Metric Mask ...
        const TableFields<8> fields(line);
        if (fields.count < 8)
            return;
        const auto destination = tableNumber<std::uint32_t>(fields.field[1], 16);
        const auto gateway = tableNumber<std::uint32_t>(fields.field[2], 16);
        const auto flags = tableNumber<unsigned long>(fields.field[3], 16);
        const auto metric = tableNumber<unsigned long>(fields.field[6], 10);
        const auto mask = tableNumber<std::uint32_t>(fields.field[7], 16);
        if (!destination || !gateway || !flags || !metric || !mask ||
            !tableNumber<unsigned long>(fields.field[4], 10) ||
            !tableNumber<unsigned long>(fields.field[5], 10))
            return;
        if (*destination != 0 || *mask != 0 || !(*flags & routeUp))
            return;
        if (best && best->metric <= *metric)
            return;
        DefaultRoute route{std::string(fields.field[0]), std::nullopt, *metric};
        if ((*flags & routeViaGateway) && *gateway != 0)
            route.router = dottedAddressFromKernelHex(*gateway);
        best = route;
    });
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
// laid out as /proc/net/arp (a header line, then one entry a line), on the
// device where one is given: one address may be two neighbours, each on a
// network of its own. Entries still being resolved or found unreachable
// carry no hardware address and are left out.
inline std::optional<Neighbour> resolvedNeighbourInTable(const std::string &address,
                                                         std::string_view table,
                                                         std::string_view device = {}) {
    constexpr unsigned complete = 0x2;  // ATF_COM
    constexpr unsigned permanent = 0x4; // ATF_PERM

    std::optional<Neighbour> found;
    forEachTableEntry(table, [&](std::string_view line) {
        // IP-address HW-type Flags HW-address Mask Device
        const TableFields<6> fields(line);
        if (found || fields.count < 6 || fields.field[0] != address ||
            (!device.empty() && fields.field[5] != device))
            return;
        const auto hardwareType = tableNumber<unsigned>(fields.field[1], 16);
        const auto flags = tableNumber<unsigned>(fields.field[2], 16);
        if (hardwareType && flags && (*flags & (complete | permanent)))
            found = Neighbour{std::string(fields.field[0]), *hardwareType,
                              std::string(fields.field[3]), std::string(fields.field[5])};
    });
    return found;
}

// The same from the table's file; nothing when it cannot be read.
inline std::optional<Neighbour>
resolvedNeighbour(const std::string &address, const std::string &table = kKernelNeighbourTable) {
    return resolvedNeighbourInTable(address, kernelTableText(table));
}

} // namespace flowtally
