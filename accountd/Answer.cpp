#include "accountd/Answer.h"

#include "accountd/protocol/AccountdProtocol.h"
#include "accountd/Visibility.h"

#include <map>
#include <tuple>

namespace flowtally {

namespace {

using Sum = std::pair<std::uint64_t, std::uint64_t>; // packets, bytes

AccountdCounter counterOf(std::string cgroup, std::uint32_t ifindex, std::uint8_t direction,
                          std::uint8_t kind, const Sum &sum,
                          const InterfaceWatch::Interface *interface) {
    AccountdCounter counter;
    counter.cgroup = std::move(cgroup);
    counter.ifindex = ifindex;
    counter.interface = interface ? interface->name : std::string();
    counter.direction = direction == ACCOUNTD_OUT ? AccountdDirection::Out : AccountdDirection::In;
    counter.peer = kind == ACCOUNTD_LOCAL ? AccountdPeer::Local : AccountdPeer::Internet;
    counter.packets = sum.first;
    counter.bytes = sum.second + sum.first * (interface ? interface->linkHeader : 0);
    return counter;
}

} // namespace

std::string composeAnswer(const AnswerSource &source, std::uint32_t uid) {
    using Place = std::tuple<std::uint32_t, std::uint8_t, std::uint8_t>; // ifindex, direction, kind
    std::map<std::pair<std::string, Place>, Sum> cgroups;
    std::map<Place, Sum> totals;
    for (const Programs::Counter &counter : source.counters) {
        const Place place{counter.key.ifindex, counter.key.direction, counter.key.kind};
        const auto add = [&counter](Sum &sum) {
            sum.first += counter.counts.packets;
            sum.second += counter.counts.bytes;
        };
        add(totals[place]);
        const std::string *path = source.pathOf(counter.key.cgroup);
        if (path && visibleTo(*path, uid))
            add(cgroups[{*path, place}]);
    }

    std::string answer = accountdHeaderLine(source.startId, uid, source.lostPackets);
    std::size_t lines = 1;
    for (const std::string &prefix : source.localPrefixes) {
        answer += accountdPrefixLine(prefix);
        ++lines;
    }
    for (const auto &[where, sum] : cgroups) {
        const auto [ifindex, direction, kind] = where.second;
        answer += accountdCounterLine(
            counterOf(where.first, ifindex, direction, kind, sum, source.interfaceOf(ifindex)));
        ++lines;
    }
    for (const auto &[place, sum] : totals) {
        const auto [ifindex, direction, kind] = place;
        answer += accountdCounterLine(
            counterOf(std::string(), ifindex, direction, kind, sum, source.interfaceOf(ifindex)));
        ++lines;
    }
    return answer + accountdEndLine(lines);
}

} // namespace flowtally
