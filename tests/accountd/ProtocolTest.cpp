#include "accountd/protocol/AccountdProtocol.h"

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

// A cut or altered answer is no answer: a client never takes part of the
// counters for all of them. (Whole answers read back: AnswerTest.)
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

} // namespace

} // namespace flowtally
