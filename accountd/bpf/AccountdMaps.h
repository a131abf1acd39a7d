/* The layout that the counting programs (accountd.bpf.c) and the service
 * share: the key and value of the counters, and the key of the machine's
 * own prefixes. Plain C, read by clang's BPF target and by the service. */
#ifndef FLOWTALLY_ACCOUNTD_MAPS_H
#define FLOWTALLY_ACCOUNTD_MAPS_H

#include <linux/types.h>

/* Counters kept at once; the least recently counted go first when more
 * come (an LRU hash: the memory stays bounded). */
#define ACCOUNTD_MAX_COUNTERS 16384
/* Prefixes of this machine's own interfaces that the service may hold. */
#define ACCOUNTD_MAX_PREFIXES 1024

enum accountd_direction { ACCOUNTD_IN = 0, ACCOUNTD_OUT = 1 };
enum accountd_kind { ACCOUNTD_LOCAL = 0, ACCOUNTD_INTERNET = 1 };

/* What one counter counts. The padding is part of the hashed key: zero. */
struct accountd_key {
    __u64 cgroup;  /* bpf_skb_cgroup_id(): the cgroup folder's inode number */
    __u32 ifindex; /* the interface the packet crossed */
    __u8 direction;
    __u8 kind;
    __u16 zero;
};

/* Packets as they cross the wire (a segmentation offload's packet counts
 * as the segments it becomes), and their bytes from the network header on:
 * the IP header, the transport header and the payload of each. */
struct accountd_counts {
    __u64 packets;
    __u64 bytes;
};

/* A prefix of the longest-prefix-match trie: IPv6, and IPv4 as an
 * IPv4-mapped address (::ffff:a.b.c.d, its length plus 96). */
struct accountd_prefix {
    __u32 length;
    __u8 address[16];
};

#endif
