#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace flowtally {

// What flowtally-accountd and its clients say to each other on the
// service's Unix stream socket; version 1.
//
// The client sends one line, at most kAccountdRequestLimit bytes with its
// line end:
//     counters 1
// The service answers with lines of printable ASCII, fields separated by
// one space, each line ended by "\n", and closes the connection:
//     flowtally-accountd 1 START UID LOST
//     l PREFIX/LENGTH
//     c IFINDEX INTERFACE in|out local|internet PACKETS BYTES CGROUP
//     t IFINDEX INTERFACE in|out local|internet PACKETS BYTES
//     end LINES
// START is the service's start identifier (32 lower-case hexadecimal
// digits, new at every start of the service: counters begin again at zero
// under a new one); UID the caller's user as the service knows it; LOST the packets
// the service could not count (no room in its table). An "l" line is a
// prefix of this machine's own interfaces that counts as local, beside the
// fixed local ranges. A "c" line is a counter of one cgroup that the
// caller may see (its own user's slice, the system services), a "t" line
// the whole machine's counter of one interface, direction and kind of peer,
// every cgroup's included. PACKETS and BYTES are unsigned 64-bit decimal
// numbers counted since START: bytes as the interface counts them, the
// link header of an Ethernet or loopback interface included. LINES is the
// number of lines before "end". The counters are at most 0.2 s old
// (callers who come together share one reading). Clients ignore lines of
// kinds they do not know; a change of meaning takes a new version.
// A refusal is one line, "error 1 REASON", with REASON one of bad-request,
// unsupported-version, busy, too-large, unavailable (the counters could not
// be read).
//
// Text fields (INTERFACE, CGROUP) are escaped: each byte at or below the
// space, at or above DEL, and "%" is written as "%XX" (upper-case
// hexadecimal); an empty field is written "-", and a field that is "-"
// itself "%2D".

constexpr int kAccountdVersion = 1;
constexpr std::string_view kAccountdRequest = "counters 1\n";
constexpr std::size_t kAccountdRequestLimit = 64;
constexpr std::string_view kAccountdDefaultSocket = "/run/flowtally-accountd/accountd.sock";

enum class AccountdDirection { In, Out };
enum class AccountdPeer { Local, Internet };

// One counter: of a cgroup (its path relative to the cgroup tree's root,
// such as "user.slice/user-1000.slice/user@1000.service/app.slice/
// app-org.gnome.Terminal-1234.scope"), or the machine's total of an
// interface when `cgroup` is empty.
struct AccountdCounter {
    std::string cgroup;
    std::uint32_t ifindex = 0;
    std::string interface; // empty when the service does not know it
    AccountdDirection direction = AccountdDirection::In;
    AccountdPeer peer = AccountdPeer::Internet;
    std::uint64_t packets = 0;
    std::uint64_t bytes = 0;

    bool operator==(const AccountdCounter &) const = default;
};

// A whole answer of the service.
struct AccountdCounters {
    std::string startId;
    std::uint32_t uid = 0;
    std::uint64_t lostPackets = 0;
    std::vector<std::string> localPrefixes;
    std::vector<AccountdCounter> cgroups;
    std::vector<AccountdCounter> totals;
};

std::string escapeAccountdField(std::string_view field);
// None for a field that is not written as escapeAccountdField writes.
std::optional<std::string> unescapeAccountdField(std::string_view field);

// The lines of an answer, each with its line end.
std::string accountdHeaderLine(std::string_view startId, std::uint32_t uid,
                               std::uint64_t lostPackets);
std::string accountdPrefixLine(std::string_view prefix);
// A "c" line when the counter names a cgroup, else a "t" line.
std::string accountdCounterLine(const AccountdCounter &counter);
std::string accountdEndLine(std::size_t lines);
std::string accountdErrorLine(std::string_view reason);

// Reads a whole answer. On a refusal or a text that is not an answer,
// none, and the reason in *error.
std::optional<AccountdCounters> readAccountdAnswer(std::string_view text, std::string *error);

} // namespace flowtally
