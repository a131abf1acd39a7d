/* Flowtally's accounting programs, attached to a cgroup v2 folder for
 * ingress and egress: each packet of a socket of the folder's cgroups is
 * counted under the socket's cgroup, the interface, the direction and the
 * kind of its peer. They only count: every packet passes (return 1). */
#include <linux/bpf.h>
#include <linux/if_ether.h>
#include <linux/in.h>
#include <linux/ip.h>
#include <linux/ipv6.h>

#include <bpf/bpf_endian.h>
#include <bpf/bpf_helpers.h>

#include "accountd/bpf/AccountdMaps.h"

char LICENSE[] SEC("license") = "Proprietary";

struct {
    __uint(type, BPF_MAP_TYPE_LRU_HASH);
    __uint(max_entries, ACCOUNTD_MAX_COUNTERS);
    __type(key, struct accountd_key);
    __type(value, struct accountd_counts);
} counters SEC(".maps");

/* The prefixes of this machine's own interfaces, kept by the service. */
struct {
    __uint(type, BPF_MAP_TYPE_LPM_TRIE);
    __uint(max_entries, ACCOUNTD_MAX_PREFIXES);
    __uint(map_flags, BPF_F_NO_PREALLOC);
    __type(key, struct accountd_prefix);
    __type(value, __u8);
} own_prefixes SEC(".maps");

/* Packets that found no room in the counters (a new key evicted at once). */
__u64 lost_packets = 0;

/* Loopback, the private ranges, link-local, multicast and broadcast. */
static __always_inline int fixed_local_v4(__u32 address) {
    return (address >> 24) == 10 || (address >> 24) == 127 || (address >> 20) == 0xac1 ||
           (address >> 16) == 0xc0a8 || (address >> 16) == 0xa9fe || (address >> 28) == 0xe ||
           address == 0xffffffff;
}

/* ::1, link-local fe80::/10, unique-local fc00::/7, multicast ff00::/8. */
static __always_inline int fixed_local_v6(const struct in6_addr *address) {
    const __u8 first = address->s6_addr[0];
    if (first == 0xff || (first & 0xfe) == 0xfc ||
        (first == 0xfe && (address->s6_addr[1] & 0xc0) == 0x80))
        return 1;
    return address->s6_addr32[0] == 0 && address->s6_addr32[1] == 0 && address->s6_addr32[2] == 0 &&
           address->s6_addr32[3] == bpf_htonl(1);
}

static __always_inline int own_prefix(struct accountd_prefix *key) {
    return bpf_map_lookup_elem(&own_prefixes, key) != 0;
}

/* The length of the transport header of a segmented packet, or 0; read in
 * place where the packet's linear part holds it. */
static __always_inline __u32 transport_header(struct __sk_buff *skb, const void *data,
                                              const void *data_end, __u32 offset, __u8 protocol) {
    if (protocol == IPPROTO_UDP)
        return 8;
    if (protocol != IPPROTO_TCP)
        return 0;
    __u8 data_offset = 0;
    const __u8 *field = (const __u8 *)data + offset + 12;
    if ((const void *)(field + 1) <= data_end)
        data_offset = *field;
    else if (bpf_skb_load_bytes(skb, offset + 12, &data_offset, 1))
        return 0;
    return (__u32)(data_offset >> 4) * 4;
}

static __always_inline int count(struct __sk_buff *skb, __u8 direction) {
    /* The packet from its network header on; its headers are read in
     * place, or copied where they lie beyond the linear part. */
    const void *data = (const void *)(long)skb->data;
    const void *data_end = (const void *)(long)skb->data_end;

    struct accountd_key key = {};
    key.cgroup = bpf_skb_cgroup_id(skb);
    key.ifindex = skb->ifindex;
    key.direction = direction;
    key.kind = ACCOUNTD_INTERNET;

    __u64 packets = 1;
    __u64 bytes = skb->len;
    __u32 headers = 0;
    __u8 protocol = 0;
    struct accountd_prefix peer = {};
    int local = 0;

    if (skb->protocol == bpf_htons(ETH_P_IP)) {
        struct iphdr copy;
        const struct iphdr *ip = data;
        if ((const void *)(ip + 1) > data_end)
            ip = bpf_skb_load_bytes(skb, 0, &copy, sizeof copy) == 0 ? &copy : 0;
        if (ip) {
            const __u32 address = direction == ACCOUNTD_OUT ? ip->daddr : ip->saddr;
            headers = (__u32)ip->ihl * 4;
            protocol = ip->protocol;
            local = fixed_local_v4(bpf_ntohl(address));
            if (!local) {
                peer.length = 128;
                peer.address[10] = 0xff;
                peer.address[11] = 0xff;
                __builtin_memcpy(&peer.address[12], &address, 4);
                local = own_prefix(&peer);
            }
        }
    } else if (skb->protocol == bpf_htons(ETH_P_IPV6)) {
        struct ipv6hdr copy;
        const struct ipv6hdr *ip = data;
        if ((const void *)(ip + 1) > data_end)
            ip = bpf_skb_load_bytes(skb, 0, &copy, sizeof copy) == 0 ? &copy : 0;
        if (ip) {
            const struct in6_addr *address = direction == ACCOUNTD_OUT ? &ip->daddr : &ip->saddr;
            headers = sizeof *ip;
            protocol = ip->nexthdr;
            local = fixed_local_v6(address);
            if (!local) {
                peer.length = 128;
                __builtin_memcpy(peer.address, address, 16);
                local = own_prefix(&peer);
            }
        }
    }
    if (local)
        key.kind = ACCOUNTD_LOCAL;

    /* A segmentation offload's packet: each segment carries the headers. */
    const __u32 segments = skb->gso_segs;
    if (segments > 1 && headers) {
        headers += transport_header(skb, data, data_end, headers, protocol);
        packets = segments;
        bytes += (__u64)(segments - 1) * headers;
    }

    struct accountd_counts *counts = bpf_map_lookup_elem(&counters, &key);
    if (!counts) {
        struct accountd_counts first = {packets, bytes};
        if (bpf_map_update_elem(&counters, &key, &first, BPF_NOEXIST) == 0)
            return 1;
        counts = bpf_map_lookup_elem(&counters, &key);
        if (!counts) {
            __sync_fetch_and_add(&lost_packets, packets);
            return 1;
        }
    }
    __sync_fetch_and_add(&counts->packets, packets);
    __sync_fetch_and_add(&counts->bytes, bytes);
    return 1;
}

SEC("cgroup_skb/ingress")
int count_ingress(struct __sk_buff *skb) {
    return count(skb, ACCOUNTD_IN);
}

SEC("cgroup_skb/egress")
int count_egress(struct __sk_buff *skb) {
    return count(skb, ACCOUNTD_OUT);
}
