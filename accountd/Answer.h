#pragma once

#include "accountd/InterfaceWatch.h"
#include "accountd/Programs.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace flowtally {

// What the answer to one caller is made of.
struct AnswerSource {
    std::string startId;
    std::uint64_t lostPackets = 0;
    std::span<const Programs::Counter> counters;
    std::function<const std::string *(std::uint64_t cgroup)> pathOf;
    std::function<const InterfaceWatch::Interface *(std::uint32_t index)> interfaceOf;
    std::vector<std::string> localPrefixes;
};

// The whole answer for a caller of user `uid`, in the protocol's lines
// (AccountdProtocol.h): a "c" line for each cgroup the caller may see
// (visibleTo), each interface, direction and kind of peer, the counters of
// cgroups of one path summed; a "t" line for each interface, direction and
// kind, all cgroups summed, those of unknown paths included. Bytes as the
// interface counts them: the counted bytes plus its link header a packet.
std::string composeAnswer(const AnswerSource &source, std::uint32_t uid);

} // namespace flowtally
