#include "Answer.h"
#include "AccountdProtocol.h"

#include <gtest/gtest.h>

#include <map>

namespace flowtally {

namespace {

Programs::Counter counted(std::uint64_t cgroup, std::uint32_t ifindex, std::uint8_t direction,
                          std::uint8_t kind, std::uint64_t packets, std::uint64_t bytes) {
    Programs::Counter counter{};
    counter.key.cgroup = cgroup;
    counter.key.ifindex = ifindex;
    counter.key.direction = direction;
    counter.key.kind = kind;
    counter.counts = {packets, bytes};
    return counter;
}

// Four cgroups: two of one path (a scope that went and came again), another
// user's application, a system service; and the root and a cgroup of no
// known path, which count only in the totals. eth0 has an Ethernet header,
// wg0 none; interface 9 went unnoticed.
TEST(Answer, ACallerGetsItsOwnTheSystemsAndTheMachinesTotalsInTheInterfacesBytes) {
    const std::map<std::uint64_t, std::string> paths = {
        {1, ""},
        {10, "user.slice/user-1000.slice/app-a.scope"},
        {11, "user.slice/user-1000.slice/app-a.scope"},
        {20, "user.slice/user-1001.slice/app-b.scope"},
        {30, "system.slice/backup.service"}};
    const std::map<std::uint32_t, InterfaceWatch::Interface> interfaces = {{2, {"eth0", 14}},
                                                                           {5, {"wg0", 0}}};
    const std::vector<Programs::Counter> counters = {
        counted(10, 2, ACCOUNTD_OUT, ACCOUNTD_INTERNET, 10, 1000),
        counted(11, 2, ACCOUNTD_OUT, ACCOUNTD_INTERNET, 1, 100),
        counted(10, 5, ACCOUNTD_IN, ACCOUNTD_LOCAL, 2, 200),
        counted(20, 2, ACCOUNTD_OUT, ACCOUNTD_INTERNET, 3, 300),
        counted(30, 2, ACCOUNTD_IN, ACCOUNTD_LOCAL, 4, 400),
        counted(1, 2, ACCOUNTD_OUT, ACCOUNTD_INTERNET, 5, 500),
        counted(99, 9, ACCOUNTD_OUT, ACCOUNTD_INTERNET, 6, 600)};
    AnswerSource source;
    source.startId = "0123456789abcdef0123456789abcdef";
    source.counters = counters;
    source.pathOf = [&](std::uint64_t id) {
        const auto found = paths.find(id);
        return found == paths.end() ? nullptr : &found->second;
    };
    source.interfaceOf = [&](std::uint32_t index) {
        const auto found = interfaces.find(index);
        return found == interfaces.end() ? nullptr : &found->second;
    };
    source.localPrefixes = {"192.168.1.0/24"};

    std::string error;
    const auto answer = readAccountdAnswer(composeAnswer(source, 1000), &error);
    ASSERT_TRUE(answer) << error;
    EXPECT_EQ(answer->uid, 1000u);
    EXPECT_EQ(answer->localPrefixes, source.localPrefixes);
    const auto line = [](std::string cgroup, std::uint32_t ifindex, std::string interface,
                         AccountdDirection direction, AccountdPeer peer, std::uint64_t packets,
                         std::uint64_t bytes) {
        return AccountdCounter{std::move(cgroup), ifindex, std::move(interface), direction, peer,
                               packets,           bytes};
    };
    const auto in = AccountdDirection::In, out = AccountdDirection::Out;
    const auto local = AccountdPeer::Local, internet = AccountdPeer::Internet;
    EXPECT_EQ(answer->cgroups,
              (std::vector<AccountdCounter>{
                  line("system.slice/backup.service", 2, "eth0", in, local, 4, 400 + 4 * 14),
                  line("user.slice/user-1000.slice/app-a.scope", 2, "eth0", out, internet, 11,
                       1100 + 11 * 14),
                  line("user.slice/user-1000.slice/app-a.scope", 5, "wg0", in, local, 2, 200)}));
    EXPECT_EQ(answer->totals,
              (std::vector<AccountdCounter>{line("", 2, "eth0", in, local, 4, 400 + 4 * 14),
                                            line("", 2, "eth0", out, internet, 19, 1900 + 19 * 14),
                                            line("", 5, "wg0", in, local, 2, 200),
                                            line("", 9, "", out, internet, 6, 600)}));

    const auto other = readAccountdAnswer(composeAnswer(source, 1001), &error);
    ASSERT_TRUE(other) << error;
    ASSERT_EQ(other->cgroups.size(), 2u);
    EXPECT_EQ(other->cgroups[1].cgroup, "user.slice/user-1001.slice/app-b.scope");
    EXPECT_EQ(other->totals, answer->totals);
}

} // namespace

} // namespace flowtally
