#include "meter/ApplicationGrowth.h"

namespace flowtally {

QMap<QString, ApplicationGrowth::Bytes>
ApplicationGrowth::count(const AccountdCounters &counters, const Interface &on, bool internetOnly) {
    Last now{counters.startId, on, internetOnly, {}};
    for (const AccountdCounter &counter : counters.cgroups) {
        const bool ofInterface =
            on.index != 0 ? counter.ifindex == on.index : counter.interface == on.name;
        if (!ofInterface || (internetOnly && counter.peer != AccountdPeer::Internet))
            continue;
        now.bytes[{counter.cgroup, counter.direction, counter.peer}] += counter.bytes;
    }

    QMap<QString, Bytes> growth;
    const bool measured = last_ && last_->on == on && last_->internetOnly == internetOnly;
    if (measured) {
        const bool restarted = last_->startId != now.startId;
        for (const auto &[key, value] : now.bytes) {
            const auto before = last_->bytes.find(key);
            const quint64 since =
                restarted || before == last_->bytes.end() || value < before->second
                    ? 0
                    : before->second;
            if (value == since)
                continue;
            Bytes &bytes =
                growth[CgroupApplication::of(QString::fromStdString(std::get<std::string>(key)))
                           .key()];
            (std::get<AccountdDirection>(key) == AccountdDirection::In ? bytes.in : bytes.out) +=
                value - since;
        }
    }
    last_ = std::move(now);
    return growth;
}

} // namespace flowtally
