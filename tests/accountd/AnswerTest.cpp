// What a caller is answered: the protocol's fields and answers, which
// cgroups a caller sees, and a whole answer composed and read back.
#include "accountd/Answer.h"
#include "accountd/Visibility.h"
#include "accountd/protocol/AccountdProtocol.h"

#include <gtest/gtest.h>

#include <map>

namespace flowtally {

namespace {

// Names of cgroups are any bytes but "/" and NUL, and a user may make them
// in a delegated subtree: spaces and line ends must not break a line.
TEST(AccountdProtocol, FieldsKeepAnyBytesAndNeverHoldASeparator) {
    for (const std::string &field :
         {std::string(), std::string("-"), std::string("%"), std::string("a b\nc\td"),
          std::string("app-org.gnome.Terminal-1234.scope"), std::string("\x7f\x80\xff"),
          std::string("%2D"), std::string(1, '\0')}) {
        const std::string escaped = escapeAccountdField(field);
        EXPECT_FALSE(escaped.empty());
        EXPECT_EQ(escaped.find_first_of(" \n\t"), std::string::npos) << escaped;
        EXPECT_EQ(unescapeAccountdField(escaped), field) << escaped;
    }
    for (const char *malformed : {"", "%", "%4", "%4G", "a b", "caf\xc3\xa9"})
        EXPECT_EQ(unescapeAccountdField(malformed), std::nullopt) << malformed;
}

// A cut or altered answer is no answer: a client never takes part of the
// counters for all of them. (Whole answers read back: below.)
TEST(AccountdProtocol, CutRefusedAndMalformedAnswersAreRefused) {
    const std::string head = accountdHeaderLine("0123456789abcdef0123456789abcdef", 0, 0);
    const std::string line =
        accountdCounterLine({"", 3, "eth0", AccountdDirection::In, AccountdPeer::Local, 1, 1});
    for (const std::string &text :
         {std::string(), head, head + line, head + line + accountdEndLine(3),
          head + line + accountdEndLine(2) + line, head + line.substr(0, line.size() - 1),
          head + "t 3 eth0 sideways local 1 1\n" + accountdEndLine(2),
          head + "t 3 eth0 in local 1 18446744073709551616\n" + accountdEndLine(2),
          head + "c 3 eth0 in local 1 1 -\n" + accountdEndLine(2),
          std::string("flowtally-accountd 2 x\nend 1\n"), accountdErrorLine("busy"),
          std::string("HTTP/1.0 200 OK\n")}) {
        std::string error;
        EXPECT_EQ(readAccountdAnswer(text, &error), std::nullopt) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
    std::string error;
    readAccountdAnswer(accountdErrorLine("busy"), &error);
    EXPECT_EQ(error, "the service refused: busy");
    // A kind of line of a later version is passed over.
    const auto later =
        readAccountdAnswer(head + "x a later kind\n" + line + accountdEndLine(3), &error);
    ASSERT_TRUE(later) << error;
    EXPECT_EQ(later->totals.size(), 1u);
}

TEST(Visibility, ACallerSeesItsOwnSliceAndTheSystemServicesOnly) {
    const struct {
        const char *path;
        std::uint32_t uid;
        bool visible;
    } cases[] = {
        {"user.slice/user-1000.slice", 1000, true},
        {"user.slice/user-1000.slice/user@1000.service/app.slice/"
         "app-org.gnome.Terminal-1234.scope",
         1000, true},
        {"system.slice/cron.service", 1000, true},
        {"system.slice/docker-0a1b.scope/inner", 65534, true},
        // Another user's, also one whose number begins with the caller's.
        {"user.slice/user-10000.slice/app.scope", 1000, false},
        {"user.slice/user-1000.slicex/app.scope", 1000, false},
        {"user.slice/user-100.slice", 1000, false},
        {"user.slice/user-1000.slice/app.scope", 100, false},
        // Nothing else: the root, the slices themselves, other folders.
        {"", 0, false},
        {"user.slice", 1000, false},
        {"system.slice/", 1000, false},
        {"system.slicex/a.service", 1000, false},
    };
    for (const auto &check : cases)
        EXPECT_EQ(visibleTo(check.path, check.uid), check.visible)
            << check.path << " for " << check.uid;
}

// Four cgroups: two of one path (a scope that went and came again, its name
// with a space), another user's application, a system service; and the root
// and a cgroup of no known path, which count only in the totals. eth0 has
// an Ethernet header, wg0 none; interface 9 went unnoticed. The answer is
// read back as a client reads it, the largest counter whole. (What the
// other users see of the same counters: CountingTest.)
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
}

} // namespace

} // namespace flowtally
