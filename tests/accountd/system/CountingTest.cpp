// The service counts each application's traffic, by interface, direction
// and kind of peer, as the interfaces count it; each caller sees only its
// own applications, the system services and the machine's totals. Callers
// who misbehave keep nobody else waiting; the service's programs go with
// it, however it ends, and a new start begins its counters again under a
// new start identifier.
#include "platform/process/FileDescriptor.h"
#include "tests/accountd/ServerHarness.h"
#include "tests/accountd/system/AccountdScene.h"
#include "tests/support/ProcessProbe.h"

#include <algorithm>
#include <bpf/bpf.h>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <tuple>
#include <unistd.h>

namespace flowtally {

namespace {

constexpr char kPrivatePeer[] = "192.168.77.1";
constexpr char kInternetPeer[] = "203.0.113.1";

using Counters = AccountdCounters;
constexpr auto In = AccountdDirection::In;
constexpr auto Out = AccountdDirection::Out;
constexpr auto Local = AccountdPeer::Local;
constexpr auto Internet = AccountdPeer::Internet;

std::vector<std::string> cgroupsOf(const AccountdCounters &counters) {
    std::vector<std::string> cgroups;
    for (const AccountdCounter &counter : counters.cgroups)
        if (cgroups.empty() || cgroups.back() != counter.cgroup)
            cgroups.push_back(counter.cgroup);
    return cgroups;
}

// The programs attached to the root folder, ingress and egress.
std::uint32_t attachedTo(const std::string &folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::uint32_t all = 0;
    for (const bpf_attach_type type : {BPF_CGROUP_INET_INGRESS, BPF_CGROUP_INET_EGRESS}) {
        std::uint32_t count = 0;
        if (bpf_prog_query(fd, type, 0, nullptr, nullptr, &count) == 0)
            all += count;
    }
    ::close(fd);
    return all;
}

// A scene with the service started; skipped without root, without cgroup
// v2 or where the programs cannot load.
class CountingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const QString failure =
            scene.skip.isEmpty() && scene.error.isEmpty() ? scene.startService() : scene.error;
        if (!scene.skip.isEmpty())
            GTEST_SKIP() << scene.skip.toStdString();
        ASSERT_EQ(failure, QString()) << scene.serviceLog().toStdString();
    }
    void TearDown() override {
        if (HasFailure())
            std::printf("The service's log:\n%s\n", qPrintable(scene.serviceLog()));
    }

    // The counter of a cgroup (or of the machine when `cgroup` is empty) on
    // an interface; zeros when the answer has none.
    static AccountdCounter find(const AccountdCounters &counters, const std::string &cgroup,
                                const std::string &interface, AccountdDirection direction,
                                AccountdPeer peer) {
        for (const AccountdCounter &counter : cgroup.empty() ? counters.totals : counters.cgroups)
            if (counter.cgroup == cgroup && counter.interface == interface &&
                counter.direction == direction && counter.peer == peer)
                return counter;
        return {cgroup, 0, interface, direction, peer, 0, 0};
    }

    // What crossed priv0 and wan0 while `traffic` ran.
    template <typename Traffic> std::pair<LinkCounters, LinkCounters> crossing(Traffic traffic) {
        const LinkCounters privateBefore = scene.counters("priv0");
        const LinkCounters internetBefore = scene.counters("wan0");
        traffic();
        return {scene.counters("priv0") - privateBefore, scene.counters("wan0") - internetBefore};
    }
    // The counter on an interface is what the interface counted, each way.
    static void expectCounted(const Counters &counters, const std::string &cgroup,
                              const std::string &interface, AccountdPeer peer,
                              const LinkCounters &crossed) {
        const AccountdCounter in = find(counters, cgroup, interface, In, peer);
        const AccountdCounter out = find(counters, cgroup, interface, Out, peer);
        EXPECT_EQ(in.bytes, crossed.receivedBytes) << cgroup << " " << interface;
        EXPECT_EQ(in.packets, crossed.receivedPackets) << cgroup << " " << interface;
        EXPECT_EQ(out.bytes, crossed.sentBytes) << cgroup << " " << interface;
        EXPECT_EQ(out.packets, crossed.sentPackets) << cgroup << " " << interface;
    }

    AccountdScene scene;
};

// Four applications one after another, each through both links; the links
// are silent otherwise (permanent neighbours, no IPv6), so that no frame
// crosses them that no socket sent: each application's counters are what
// the interfaces counted while it ran, to the byte and the packet, and the
// machine's totals, the same for every caller, are what they counted since
// the service started. The uploads are segmented in software on the way out
// (several wire packets, each with its own headers, from one packet of the
// stack), the downloads come in a wire packet at a time. The other user's
// cgroup is made after the service walked the tree, so that it learns its
// path when its counters show up (at the next walk, at most a second later).
// The callers are answered while another user holds hundreds of connections
// that never ask, sends garbage and a request of a mebibyte, and asks
// without ever reading (what the service answers these: Server's
// AnswersTheCallersUserAndRefusesWhatIsNoRequest). Then the service is
// stopped, started again and killed, and started once more for the local
// prefixes.
TEST_F(CountingTest, EachApplicationCountsWhatCrossedForItsOwnUserAndKindOfPeer) {
    for (const std::string &cgroup : {kEditor, kBrowser, kBackup})
        ASSERT_TRUE(scene.makeCgroup(cgroup));
    const LinkCounters privateAtStart = scene.counters("priv0");
    const LinkCounters internetAtStart = scene.counters("wan0");

    const auto editor = crossing([&] {
        EXPECT_TRUE(scene.runApplication(kEditor, kPrivatePeer, 300000, 700000));
        EXPECT_TRUE(scene.runApplication(kEditor, kInternetPeer, 200000, 900000));
    });
    const auto browser = crossing(
        [&] { EXPECT_TRUE(scene.runApplication(kBrowser, kInternetPeer, 50000, 3000000)); });
    const auto backup =
        crossing([&] { EXPECT_TRUE(scene.runApplication(kBackup, kPrivatePeer, 2000000, 1000)); });
    ASSERT_GT(editor.first.sentPackets, 200u);
    const std::vector<std::string> own = {kBackup, kBrowser, kEditor};
    EXPECT_EQ(cgroupsOf(scene.countersAs(1000)), own);
    ASSERT_TRUE(scene.makeCgroup(kViewer));
    const auto viewer =
        crossing([&] { EXPECT_TRUE(scene.runApplication(kViewer, kInternetPeer, 40000, 50000)); });
    pollUntil([&] { return cgroupsOf(scene.countersAs(65534)).size() >= 2; }, 30, 100);

    ASSERT_EQ(::seteuid(65534), 0);
    std::vector<FileDescriptor> held;
    const auto hold = [&] { return held.emplace_back(connectTo(scene.socketPath)).get(); };
    for (int index = 0; index < 300; ++index)
        hold();
    sendAndRead(hold(), "GET / HTTP/1.0\r\n\r\n");
    sendAndRead(hold(), std::string(1 << 20, 'x'));
    ::send(hold(), "counters 1\n", 11, MSG_NOSIGNAL);
    for (int index = 0; index < 300; ++index)
        hold();
    ASSERT_EQ(::seteuid(0), 0);
    const Counters counters = scene.countersAs(1000);
    const Counters other = scene.countersAs(65534);
    const Counters root = scene.countersAs(0);
    EXPECT_TRUE(scene.serviceRunning());
    held.clear();
    EXPECT_EQ(scene.countersAs(1000).uid, 1000u);
    EXPECT_EQ(cgroupsOf(counters), own);
    EXPECT_EQ(cgroupsOf(other), (std::vector<std::string>{kBackup, kViewer}));
    EXPECT_EQ(cgroupsOf(root), (std::vector<std::string>{kBackup}));
    expectCounted(counters, kEditor, "priv0", Local, editor.first);
    expectCounted(counters, kEditor, "wan0", Internet, editor.second);
    expectCounted(counters, kBrowser, "wan0", Internet, browser.second);
    expectCounted(counters, kBackup, "priv0", Local, backup.first);
    expectCounted(other, kViewer, "wan0", Internet, viewer.second);
    // Nothing of another kind, nor on the other link.
    for (const AccountdCounter &counter : counters.cgroups)
        EXPECT_EQ(counter.peer, counter.interface == "priv0" ? Local : Internet)
            << counter.cgroup << " " << counter.interface;
    EXPECT_EQ(find(counters, kBrowser, "priv0", Out, Local).bytes, 0u);
    EXPECT_EQ(find(counters, kBackup, "wan0", Out, Internet).bytes, 0u);

    expectCounted(counters, "", "priv0", Local, scene.counters("priv0") - privateAtStart);
    expectCounted(counters, "", "wan0", Internet, scene.counters("wan0") - internetAtStart);
    EXPECT_EQ(other.totals, counters.totals);
    EXPECT_EQ(root.totals, counters.totals);
    EXPECT_EQ(counters.lostPackets, 0u);

    // Stopped: detached.
    EXPECT_EQ(attachedTo(scene.root), 2u);
    ASSERT_TRUE(scene.stopService(SIGTERM));
    EXPECT_EQ(attachedTo(scene.root), 0u);
    // Started again: a new identifier, counters from zero.
    ASSERT_EQ(scene.startService(), QString());
    ASSERT_TRUE(scene.runApplication(kEditor, kInternetPeer, 10000, 1000));
    const Counters again = scene.countersAs(1000);
    EXPECT_NE(again.startId, counters.startId);
    EXPECT_GT(find(again, "", "wan0", Out, Internet).bytes, 10000u);
    EXPECT_LT(find(again, "", "wan0", Out, Internet).bytes, 100000u);
    // Killed: the kernel detaches the programs with the process; the socket
    // it left is taken over by the next start.
    ASSERT_TRUE(scene.stopService(SIGKILL));
    EXPECT_EQ(attachedTo(scene.root), 0u);
    ASSERT_EQ(scene.startService(), QString());
    EXPECT_NE(scene.countersAs(1000).startId, again.startId);

    // The prefixes of the machine's own addresses count as local, as they
    // come and go: 198.51.100.1 is on the Internet until the host takes an
    // address of 198.51.100.0/24, and again after it gives it up. Then IPv6
    // peers by kind.
    // Whether the service's local prefixes come to hold the prefix, or to
    // lack it (5 s at most).
    const auto hasPrefix = [&](bool wanted, const std::string &prefix = "198.51.100.0/24") {
        return pollUntil(
            [&] {
                const auto prefixes = scene.countersAs(1000).localPrefixes;
                return (std::find(prefixes.begin(), prefixes.end(), prefix) != prefixes.end()) ==
                       wanted;
            },
            50, 100);
    };
    const auto sent = [&](AccountdPeer peer) {
        return find(scene.countersAs(1000), kEditor, "wan0", Out, peer).bytes;
    };
    const char *peer = "198.51.100.1";
    ASSERT_TRUE(hasPrefix(false));
    ASSERT_TRUE(scene.runApplication(kEditor, peer, 100000, 1000));
    const std::uint64_t before = sent(Internet);
    EXPECT_GT(before, 100000u);
    EXPECT_EQ(sent(Local), 0u);

    ASSERT_EQ(scene.run("ip -n $HOST address add 198.51.100.2/24 dev wan0"), QString());
    ASSERT_TRUE(hasPrefix(true));
    ASSERT_TRUE(scene.runApplication(kEditor, peer, 100000, 1000));
    EXPECT_EQ(sent(Internet), before);
    EXPECT_GT(sent(Local), 100000u);

    ASSERT_EQ(scene.run("ip -n $HOST address del 198.51.100.2/24 dev wan0"), QString());
    ASSERT_TRUE(hasPrefix(false));
    ASSERT_TRUE(scene.runApplication(kEditor, peer, 100000, 1000));
    EXPECT_GT(sent(Internet), before + 100000);

    // IPv6, switched on for the wan link in this test alone (no link-local
    // address, no router solicitations, permanent neighbours): a peer on the
    // Internet, one in the prefix of the host's own address, one at a
    // unique-local address. The kernel sends frames of its own beside the
    // sockets' packets here (multicast listener reports for the addresses'
    // groups), so the counted packets are held against the interface's
    // within that bound: what the interface counted more is whole packets no
    // socket sent, at most 4 in a run and each at most 134 bytes (Ethernet,
    // IPv6, a hop-by-hop header, an ICMPv6 report of a few records).
    ASSERT_EQ(scene.run(R"(set -e
for end in "$HOST wan0" "$ISP w0" "$ISP lo"; do set -- $end
  ip netns exec $1 sysctl -qw net.ipv6.conf.$2.addr_gen_mode=1 \
    net.ipv6.conf.$2.router_solicitations=0 net.ipv6.conf.$2.accept_ra=0 \
    net.ipv6.conf.$2.disable_ipv6=0; done
ip -n $HOST address add 2001:db8:1::2/64 dev wan0 nodad
ip -n $ISP address add 2001:db8:1::1/64 dev w0 nodad
ip -n $ISP address add 2001:db8:ff::1/128 dev lo; ip -n $ISP address add fd00:77::1/128 dev lo
ip -n $HOST neigh replace 2001:db8:1::1 lladdr 02:00:5e:79:00:01 dev wan0 nud permanent
ip -n $ISP neigh replace 2001:db8:1::2 lladdr 02:00:5e:79:00:02 dev w0 nud permanent
ip -n $HOST -6 route add default via 2001:db8:1::1 dev wan0)"),
              QString());
    ASSERT_TRUE(hasPrefix(true, "2001:db8:1::/64"));

    const struct {
        const char *peer;
        AccountdPeer kind;
    } runs[] = {{"2001:db8:ff::1", Internet}, {"2001:db8:1::1", Local}, {"fd00:77::1", Local}};
    for (const auto &run : runs) {
        const Counters earlier = scene.countersAs(1000);
        const auto crossed =
            crossing([&] {
                EXPECT_TRUE(scene.runApplication(kEditor, run.peer, 200000, 300000));
            }).second;
        const Counters later = scene.countersAs(1000);
        const auto grew = [&](AccountdDirection direction, AccountdPeer kind) {
            const AccountdCounter now = find(later, kEditor, "wan0", direction, kind);
            const AccountdCounter then = find(earlier, kEditor, "wan0", direction, kind);
            return std::pair(now.packets - then.packets, now.bytes - then.bytes);
        };
        const AccountdPeer other = run.kind == Local ? Internet : Local;
        for (const auto &[direction, packets, bytes] :
             {std::tuple(Out, crossed.sentPackets, crossed.sentBytes),
              std::tuple(In, crossed.receivedPackets, crossed.receivedBytes)}) {
            EXPECT_EQ(grew(direction, other), std::pair(std::uint64_t(0), std::uint64_t(0)))
                << run.peer;
            const auto [countedPackets, countedBytes] = grew(direction, run.kind);
            EXPECT_GT(countedBytes, 200000u) << run.peer;
            ASSERT_LE(countedPackets, packets) << run.peer;
            ASSERT_LE(countedBytes, bytes) << run.peer;
            EXPECT_LE(packets - countedPackets, 4u) << run.peer;
            EXPECT_LE(bytes - countedBytes, (packets - countedPackets) * 134) << run.peer;
        }
    }
}

} // namespace

} // namespace flowtally
