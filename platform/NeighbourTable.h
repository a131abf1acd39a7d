#pragma once

// The kernel's IPv4 neighbour (address-resolution) table. Plain C++ without
// Qt: the helper tools use it too and must start fast.

#include <fstream>
#include <optional>
#include <sstream>
#include <string>

struct Neighbour {
    std::string address;
    unsigned hardwareType = 0; // ARPHRD_*: 1 is Ethernet (Wi-Fi included)
    std::string hardwareAddress;
    std::string device;
};

inline const char *const kKernelNeighbourTable = "/proc/net/arp";

// The resolved entry for a dotted address. Entries still being resolved or
// found unreachable carry no hardware address and are left out.
inline std::optional<Neighbour>
resolvedNeighbour(const std::string &address, const std::string &table = kKernelNeighbourTable) {
    constexpr unsigned complete = 0x2;  // ATF_COM
    constexpr unsigned permanent = 0x4; // ATF_PERM

    std::ifstream file(table);
    std::string line;
    std::getline(file, line); // column header
    while (std::getline(file, line)) {
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
