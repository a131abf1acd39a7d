#include "accountd/Answer.h"
#include "accountd/protocol/AccountdProtocol.h"

#include <gtest/gtest.h>

#include <map>

namespace flowtally {

namespace {

// Four cgroups: two of one path (a scope that went and came again, its name
// with a space), another user's application, a system service; and the root
// and a cgroup of no known path, which count only in the totals. eth0 has
// an Ethernet header, wg0 none; interface 9 went unnoticed. The answer is
// read back as a client reads it, the largest counter whole.
TEST(Answer, ACallerGetsItsOwnTheSystemsAndTheMachinesTotalsInTheInterfacesBytes) {
    const std::string appA = "user.slice/user-1000.slice/app-a 1.scope";
    const std::map<std::uint64_t, std::string> paths = {
        {1, ""},
        {10, appA},
        {11, appA},
        {20, "user.slice/user-1001.slice/app-b.scope"},
        {30, "system.slice/backup.service"}};
    const std::map<std::uint32_t, InterfaceWatch::Interface> interfaces = {{2, {"eth0", 14}},
                                                                           {5, {"wg0", 0}}};
    const std::vector<Programs::Counter> counters = {
        {{10, 2, ACCOUNTD_OUT, ACCOUNTD_INTERNET, 0}, {10, 1000}},
        {{11, 2, ACCOUNTD_OUT, ACCOUNTD_INTERNET, 0}, {1, 100}},
        {{10, 5, ACCOUNTD_IN, ACCOUNTD_LOCAL, 0}, {2, 200}},
        {{20, 2, ACCOUNTD_OUT, ACCOUNTD_INTERNET, 0}, {3, 300}},
        {{30, 2, ACCOUNTD_IN, ACCOUNTD_LOCAL, 0}, {4, 400}},
        {{1, 2, ACCOUNTD_OUT, ACCOUNTD_INTERNET, 0}, {5, 500}},
        {{99, 9, ACCOUNTD_OUT, ACCOUNTD_INTERNET, 0}, {6, 18446744073709551615ull}}};
    AnswerSource source;
    source.startId = "0123456789abcdef0123456789abcdef";
    source.lostPackets = 7;
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
    EXPECT_EQ(answer->startId, source.startId);
    EXPECT_EQ(answer->uid, 1000u);
    EXPECT_EQ(answer->lostPackets, 7u);
    EXPECT_EQ(answer->localPrefixes, source.localPrefixes);
    const auto in = AccountdDirection::In, out = AccountdDirection::Out;
    const auto local = AccountdPeer::Local, internet = AccountdPeer::Internet;
    using Lines = std::vector<AccountdCounter>;
    EXPECT_EQ(answer->cgroups,
              (Lines{{"system.slice/backup.service", 2, "eth0", in, local, 4, 400 + 4 * 14},
                     {appA, 2, "eth0", out, internet, 11, 1100 + 11 * 14},
                     {appA, 5, "wg0", in, local, 2, 200}}));
    EXPECT_EQ(answer->totals, (Lines{{"", 2, "eth0", in, local, 4, 400 + 4 * 14},
                                     {"", 2, "eth0", out, internet, 19, 1900 + 19 * 14},
                                     {"", 5, "wg0", in, local, 2, 200},
                                     {"", 9, "", out, internet, 6, 18446744073709551615ull}}));

    const auto other = readAccountdAnswer(composeAnswer(source, 1001), &error);
    ASSERT_TRUE(other) << error;
    ASSERT_EQ(other->cgroups.size(), 2u);
    EXPECT_EQ(other->cgroups[1].cgroup, "user.slice/user-1001.slice/app-b.scope");
    EXPECT_EQ(other->totals, answer->totals);
}

} // namespace

} // namespace flowtally
