#pragma once

#include "accountd/protocol/AccountdProtocol.h"
#include "net/CgroupApplication.h"

#include <QMap>
#include <QString>

#include <map>
#include <optional>
#include <string>
#include <tuple>

namespace flowtally {

// What each application moved on one interface between two readings of
// flowtally-accountd's counters, exactly once: the growth of each of its
// cgroups' counters since the last reading. The first reading, and one of
// another interface or of other kinds of peer, only records: what moved
// before it may have been counted already. Under the same start of the
// service a cgroup's counter that is new began after the last reading, and
// one that fell was given up and began again at 0: both count whole. After
// the service's restart (another start identifier) every counter began
// again at 0 and counts whole.
class ApplicationGrowth {
  public:
    struct Bytes {
        quint64 in = 0, out = 0;
        bool operator==(const Bytes &) const = default;
    };

    // One of this computer's interfaces: by its kernel index, which a
    // rename keeps; by its name where the index is not known (0).
    struct Interface {
        quint32 index = 0;
        std::string name;
        bool operator==(const Interface &) const = default;
    };

    // Counts the counters of interface `on`, of Internet peers alone or of
    // every peer. Gives the bytes of each application that moved any, by
    // its key (CgroupApplication::key()).
    QMap<QString, Bytes> count(const AccountdCounters &counters, const Interface &on,
                               bool internetOnly);

  private:
    using Key = std::tuple<std::string, AccountdDirection, AccountdPeer>;
    struct Last {
        std::string startId;
        Interface on;
        bool internetOnly = false;
        std::map<Key, quint64> bytes;
    };
    std::optional<Last> last_;
};

} // namespace flowtally
