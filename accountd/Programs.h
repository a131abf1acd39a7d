#pragma once

#include "accountd/InterfaceWatch.h"
#include "accountd/bpf/AccountdMaps.h"

#include <cstdint>
#include <string>
#include <vector>

struct accountd_bpf;

namespace flowtally {

// The counting programs and their maps, loaded into the kernel through
// libbpf from the skeleton built with them. Attached through BPF links
// that this process owns: when it ends, however it ends, the kernel
// detaches them.
class Programs {
  public:
    struct Counter {
        accountd_key key;
        accountd_counts counts;
    };

    Programs() = default;
    ~Programs();
    Programs(const Programs &) = delete;
    Programs &operator=(const Programs &) = delete;

    // Loads the programs and makes their maps. What failed, or empty.
    std::string load();
    // Attaches both programs to the cgroup folder open at `cgroup`, for
    // ingress and egress. What failed, or empty.
    std::string attach(int cgroup);
    // Detaches them and unloads everything.
    void unload();

    // Puts a prefix into the map of local prefixes, or takes it out.
    bool setPrefix(const LocalPrefix &prefix, bool present);
    // Every counter there is now, in `counters`. What failed, or empty.
    std::string read(std::vector<Counter> &counters) const;
    // Packets that found no room among the counters.
    std::uint64_t lostPackets() const;

  private:
    accountd_bpf *skeleton_ = nullptr;
};

} // namespace flowtally
