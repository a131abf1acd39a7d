// The kernel's routing and neighbour tables, as read from /proc/net/route
// and /proc/net/arp. The input is the text of a table; it is read as both.
// What is found must be well formed: an interface name, a dotted router
// address, the neighbour that was asked for.
#include "fuzz/FuzzCheck.h"
#include "platform/system/KernelTables.h"

#include <arpa/inet.h>

#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace flowtally;
    const std::string_view table(reinterpret_cast<const char *>(data), size);
    if (const auto route = defaultRouteInTable(table)) {
        fuzzCheck(!route->interface.empty(), "a default route has an interface");
        in_addr router{};
        fuzzCheck(!route->router || inet_pton(AF_INET, route->router->c_str(), &router) == 1,
                  "a router is a dotted address");
    }
    // Asked for the first address of the first entry, so that it can match.
    std::istringstream lines{std::string(table)};
    std::string line, address;
    std::getline(lines, line);
    std::getline(lines, line);
    std::istringstream(line) >> address;
    if (const auto neighbour = resolvedNeighbourInTable(address, table)) {
        fuzzCheck(neighbour->address == address, "the neighbour asked for");
        fuzzCheck(!neighbour->hardwareAddress.empty() && !neighbour->device.empty(),
                  "a resolved neighbour has its hardware address and device");
    }
    return 0;
}
