// flowtally-netstat -f inet -bI IF
//
// Prints the byte counters of one network interface in the layout of the
// BSD netstat's byte-count mode: a header, then one line with the columns
// Name Mtu Network Address Ipkts Ierrs Ibytes Opkts Oerrs Obytes Coll.
// Flowtally runs it on every tick, so it stays plain C++ and starts fast:
// linked statically, reading with bare system calls (no streams, whose
// locale set-up costs more than the reading).
#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr const char *kRowFormat = "%-10s %5s %-13s %-17s %14s %5s %20s %14s %5s %20s %5s\n";

struct InterfaceCounters {
    std::string mtu;
    std::string index;
    std::string address;
    std::string rxPackets, rxErrors, rxBytes;
    std::string txPackets, txErrors, txBytes;
    std::string collisions;
};

// The first line of a sysfs attribute, or nothing when it cannot be read.
std::optional<std::string> readAttribute(const std::string &path) {
    const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return std::nullopt;
    // Every attribute read here is one short line.
    char text[256];
    ssize_t length;
    do
        length = read(file, text, sizeof text);
    while (length < 0 && errno == EINTR);
    close(file);
    if (length <= 0)
        return std::nullopt;
    const std::string_view whole(text, static_cast<size_t>(length));
    return std::string(whole.substr(0, whole.find('\n')));
}

// A counter attribute, printed whole: only unsigned decimal text passes.
std::optional<std::string> readCounter(const std::string &path) {
    auto text = readAttribute(path);
    if (!text || text->empty() || text->find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return text;
}

std::optional<InterfaceCounters> readCounters(const std::string &name) {
    const std::string base = "/sys/class/net/" + name + "/";
    const std::string statistics = base + "statistics/";
    InterfaceCounters counters;
    struct Field {
        std::string *target;
        std::string path;
    };
    const Field counterFields[] = {
        {&counters.rxPackets, statistics + "rx_packets"},
        {&counters.rxErrors, statistics + "rx_errors"},
        {&counters.rxBytes, statistics + "rx_bytes"},
        {&counters.txPackets, statistics + "tx_packets"},
        {&counters.txErrors, statistics + "tx_errors"},
        {&counters.txBytes, statistics + "tx_bytes"},
        {&counters.collisions, statistics + "collisions"},
        {&counters.mtu, base + "mtu"},
        {&counters.index, base + "ifindex"},
    };
    for (const Field &field : counterFields) {
        auto value = readCounter(field.path);
        if (!value)
            return std::nullopt;
        *field.target = *value;
    }
    // Interfaces without a hardware address (tunnels) keep the column
    // filled, so that the counters stay in their places.
    auto address = readAttribute(base + "address");
    counters.address = address && !address->empty() ? *address : "-";
    return counters;
}

// Linux's own rule for interface names, and no "..": the name becomes part
// of a path below /sys/class/net and must not leave that folder.
bool isSafeInterfaceName(std::string_view name) {
    if (name.empty() || name.size() > 15 || name == "." ||
        name.find("..") != std::string_view::npos)
        return false;
    for (char c : name) {
        if (c == '/' || c == ':' || std::isspace(static_cast<unsigned char>(c)) ||
            !std::isprint(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

int usage() {
    std::fputs("usage: flowtally-netstat -f inet -bI interface\n", stderr);
    return 1;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 5 || std::string_view(argv[1]) != "-f" || std::string_view(argv[2]) != "inet" ||
        std::string_view(argv[3]) != "-bI")
        return usage();
    const std::string name = argv[4];
    if (!isSafeInterfaceName(name)) {
        std::fprintf(stderr, "flowtally-netstat: %s: not an interface name\n", name.c_str());
        return 1;
    }

    std::printf(kRowFormat, "Name", "Mtu", "Network", "Address", "Ipkts", "Ierrs", "Ibytes",
                "Opkts", "Oerrs", "Obytes", "Coll");
    const auto counters = readCounters(name);
    if (!counters) {
        std::fprintf(stderr, "flowtally-netstat: %s: no such interface\n", name.c_str());
        return 1;
    }
    const std::string network = "<Link#" + counters->index + ">";
    std::printf(kRowFormat, name.c_str(), counters->mtu.c_str(), network.c_str(),
                counters->address.c_str(), counters->rxPackets.c_str(), counters->rxErrors.c_str(),
                counters->rxBytes.c_str(), counters->txPackets.c_str(), counters->txErrors.c_str(),
                counters->txBytes.c_str(), counters->collisions.c_str());
    return 0;
}
