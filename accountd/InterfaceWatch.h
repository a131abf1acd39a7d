#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>

namespace flowtally {

// A prefix of an address of one of this machine's interfaces.
struct LocalPrefix {
    int family = 0;                         // AF_INET or AF_INET6
    std::array<std::uint8_t, 16> address{}; // the first 4 bytes for AF_INET
    std::uint8_t length = 0;

    auto operator<=>(const LocalPrefix &) const = default;
    // "192.168.1.0/24", "2001:db8:1::/64".
    std::string text() const;
};

// What the kernel says, on a netlink route socket, about the interfaces of
// the service's network namespace: their names and kinds of link, and the
// prefixes of their addresses, which it hands on as they come and go.
class InterfaceWatch {
  public:
    struct Interface {
        std::string name;
        // The bytes of link header the interface's own counters add to each
        // packet: 14 for Ethernet and loopback, 0 for links without one.
        std::uint32_t linkHeader = 0;
    };
    // Called for a prefix that became local (true) or no longer is
    // (false); answers whether the change took effect (a full table of
    // prefixes refuses), else it is tried again at the next change.
    using PrefixChange = std::function<bool(const LocalPrefix &, bool present)>;

    explicit InterfaceWatch(PrefixChange change);
    ~InterfaceWatch();
    InterfaceWatch(const InterfaceWatch &) = delete;
    InterfaceWatch &operator=(const InterfaceWatch &) = delete;

    // Opens the socket, joins the kernel's messages about links and
    // addresses, and reads all there are. What failed, or empty.
    std::string open();
    // The socket, to wait on for what comes.
    int fd() const { return fd_; }
    // Reads what the kernel told since, without blocking. When messages
    // were lost (the socket's queue overflowed), reads everything anew.
    void receive();

    // An interface by its index; one that went is remembered for a while
    // under its last name. Null when never seen.
    const Interface *interface(std::uint32_t index) const;
    // The prefixes handed on and in effect.
    const std::set<LocalPrefix> &prefixes() const { return published_; }

  private:
    using Address = std::tuple<std::uint32_t, LocalPrefix>; // interface, address/length

    bool dump(int type);
    void readAll();
    void handle(const void *message, std::size_t size);
    void forget(std::uint32_t index);
    void publish();

    PrefixChange change_;
    int fd_ = -1;
    std::uint32_t sequence_ = 0;
    std::map<std::uint32_t, Interface> interfaces_;
    std::deque<std::uint32_t> gone_;
    std::set<Address> addresses_;
    std::map<LocalPrefix, int> prefixUse_;
    std::set<LocalPrefix> published_;
};

} // namespace flowtally
