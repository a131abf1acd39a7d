#include "AccountdProtocol.h"

#include <gtest/gtest.h>

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

AccountdCounter counter(std::string cgroup, AccountdDirection direction, AccountdPeer peer,
                        std::uint64_t bytes) {
    AccountdCounter made;
    made.cgroup = std::move(cgroup);
    made.ifindex = 3;
    made.interface = "wlp2s0";
    made.direction = direction;
    made.peer = peer;
    made.packets = bytes / 1000;
    made.bytes = bytes;
    return made;
}

TEST(AccountdProtocol, AnAnswerReadsBackAsItWasWritten) {
    const AccountdCounter own =
        counter("user.slice/user-1000.slice/app-x 1.scope", AccountdDirection::Out,
                AccountdPeer::Internet, 18446744073709551615ull);
    const AccountdCounter total = counter("", AccountdDirection::In, AccountdPeer::Local, 4000);
    const std::string id = "0123456789abcdef0123456789abcdef";
    const std::string text = accountdHeaderLine(id, 1000, 7) + accountdPrefixLine("10.0.0.0/8") +
                             accountdCounterLine(own) + "x a future kind of line\n" +
                             accountdCounterLine(total) + accountdEndLine(5);
    std::string error;
    const auto read = readAccountdAnswer(text, &error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(read->startId, id);
    EXPECT_EQ(read->uid, 1000u);
    EXPECT_EQ(read->lostPackets, 7u);
    EXPECT_EQ(read->localPrefixes, std::vector<std::string>{"10.0.0.0/8"});
    EXPECT_EQ(read->cgroups, std::vector<AccountdCounter>{own});
    EXPECT_EQ(read->totals, std::vector<AccountdCounter>{total});
}

// A cut or altered answer is no answer: a client never takes part of the
// counters for all of them.
TEST(AccountdProtocol, CutRefusedAndMalformedAnswersAreRefused) {
    const std::string head = accountdHeaderLine("0123456789abcdef0123456789abcdef", 0, 0);
    const std::string line =
        accountdCounterLine(counter("", AccountdDirection::In, AccountdPeer::Local, 1));
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
}

} // namespace

} // namespace flowtally
