#include "accountd/Programs.h"

#include "accountd.skel.h"

#include <bpf/bpf.h>
#include <bpf/libbpf.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>

namespace flowtally {

namespace {

// libbpf's warnings and errors go to standard error, its chatter nowhere.
int printLibbpf(libbpf_print_level level, const char *format, va_list arguments) {
    if (level == LIBBPF_DEBUG)
        return 0;
    std::fputs("flowtally-accountd: ", stderr);
    return std::vfprintf(stderr, format, arguments);
}

std::string failure(const char *what, int error) {
    return std::string(what) + ": " + std::strerror(error < 0 ? -error : error);
}

} // namespace

Programs::~Programs() {
    unload();
}

std::string Programs::load() {
    libbpf_set_print(printLibbpf);
    skeleton_ = accountd_bpf__open();
    if (!skeleton_)
        return failure("cannot open the counting programs", errno);
    const int loaded = accountd_bpf__load(skeleton_);
    if (loaded != 0)
        return failure("the kernel refused the counting programs", loaded);
    return std::string();
}

std::string Programs::attach(int cgroup) {
    skeleton_->links.count_ingress =
        bpf_program__attach_cgroup(skeleton_->progs.count_ingress, cgroup);
    if (!skeleton_->links.count_ingress)
        return failure("cannot attach the ingress program", errno);
    skeleton_->links.count_egress =
        bpf_program__attach_cgroup(skeleton_->progs.count_egress, cgroup);
    if (!skeleton_->links.count_egress)
        return failure("cannot attach the egress program", errno);
    return std::string();
}

void Programs::unload() {
    if (skeleton_)
        accountd_bpf__destroy(skeleton_);
    skeleton_ = nullptr;
}

bool Programs::setPrefix(const LocalPrefix &prefix, bool present) {
    accountd_prefix key{};
    if (prefix.family == AF_INET) {
        key.length = prefix.length + 96u;
        key.address[10] = key.address[11] = 0xff;
        std::memcpy(&key.address[12], prefix.address.data(), 4);
    } else {
        key.length = prefix.length;
        std::memcpy(key.address, prefix.address.data(), 16);
    }
    const int map = bpf_map__fd(skeleton_->maps.own_prefixes);
    if (present) {
        const __u8 local = 1;
        return bpf_map_update_elem(map, &key, &local, BPF_ANY) == 0;
    }
    return bpf_map_delete_elem(map, &key) == 0 || errno == ENOENT;
}

std::string Programs::read(std::vector<Counter> &counters) const {
    // Room for a full map; a batch ends with a whole bucket, so some more.
    constexpr __u32 room = ACCOUNTD_MAX_COUNTERS + 1024;
    std::vector<accountd_key> keys(room);
    std::vector<accountd_counts> values(room);
    const int map = bpf_map__fd(skeleton_->maps.counters);
    __u32 read = 0;
    __u64 position = 0;
    bool first = true;
    for (;;) {
        __u32 count = room - read;
        const int result =
            bpf_map_lookup_batch(map, first ? nullptr : &position, &position, keys.data() + read,
                                 values.data() + read, &count, nullptr);
        const int error = errno;
        read += count;
        first = false;
        if (result != 0 && error == ENOENT)
            break;
        if (result != 0)
            return failure("cannot read the counters", error);
        if (read >= room)
            break;
    }
    counters.clear();
    counters.reserve(read);
    for (__u32 index = 0; index < read; ++index)
        counters.push_back({keys[index], values[index]});
    return std::string();
}

std::uint64_t Programs::lostPackets() const {
    return __atomic_load_n(&skeleton_->bss->lost_packets, __ATOMIC_RELAXED);
}

} // namespace flowtally
