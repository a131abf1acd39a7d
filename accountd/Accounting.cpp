#include "accountd/Accounting.h"

#include "accountd/protocol/AccountdProtocol.h"
#include "accountd/Answer.h"

#include <cstdio>

namespace flowtally {

Accounting::Accounting(const Programs &programs, const InterfaceWatch &interfaces,
                       CgroupPaths &paths, std::string startId)
    : programs_(programs), interfaces_(interfaces), paths_(paths), startId_(std::move(startId)) {}

std::string Accounting::answer(std::uint32_t uid) {
    const auto now = std::chrono::steady_clock::now();
    if (!read_ || now - readAt_ >= kFreshness) {
        const std::string failure = programs_.read(counters_);
        if (!failure.empty()) {
            std::fprintf(stderr, "flowtally-accountd: %s\n", failure.c_str());
            read_ = false;
            return accountdErrorLine("unavailable");
        }
        read_ = true;
        readAt_ = now;
        std::vector<std::uint64_t> ids;
        ids.reserve(counters_.size());
        for (const Programs::Counter &counter : counters_)
            ids.push_back(counter.key.cgroup);
        paths_.learn(ids);
    }

    AnswerSource source;
    source.startId = startId_;
    source.lostPackets = programs_.lostPackets();
    source.counters = counters_;
    source.pathOf = [this](std::uint64_t cgroup) { return paths_.pathOf(cgroup); };
    source.interfaceOf = [this](std::uint32_t index) { return interfaces_.interface(index); };
    for (const LocalPrefix &prefix : interfaces_.prefixes())
        source.localPrefixes.push_back(prefix.text());
    return composeAnswer(source, uid);
}

} // namespace flowtally
