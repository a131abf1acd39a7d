// Addresses: the local blocks and the address field's formatter.
#include "WBLib/IsValidLocalIP.h"
#include "WBLib/WBIPFormatter.h"

#include <gtest/gtest.h>

#include <future>
#include <vector>

namespace flowtally {

namespace {

// The blocks are read on first use, here from many threads at once (a race
// there shows under the thread sanitizer). Parts with a leading zero are
// octal, as inet_addr reads them.
TEST(IsValidLocalIP, LocalBlocksAndTheirBoundaries) {
    const auto agrees = [] { return isValidLocalIP("172.16.5.4") && !isValidLocalIP("8.8.8.8"); };
    std::vector<std::future<bool>> answers;
    for (int i = 0; i < 8; ++i)
        answers.push_back(std::async(std::launch::async, agrees));
    for (std::future<bool> &answer : answers)
        EXPECT_TRUE(answer.get());
    for (const char *text : {"10.1.2.3", "172.20.0.1", "172.31.255.255", "192.168.1.1", "127.0.0.1",
                             "127.255.255.255", "192.168.001.001"})
        EXPECT_TRUE(isValidLocalIP(text)) << text;
    for (const char *text :
         {"9.255.255.255", "11.0.0.1", "172.15.255.255", "172.32.0.1", "192.167.255.255",
          "192.169.0.1", "128.0.0.0", "8.8.8.8", "169.254.1.1", "0.0.0.0", "255.255.255.255", "",
          "not an address", "010.0.0.1"})
        EXPECT_FALSE(isValidLocalIP(text)) << text;
    EXPECT_EQ(inetNumber(QStringLiteral("10.0.0.1\u0000junk")), 0xFFFFFFFF);
}

// Typed text is read and shown again; refused text leaves no object, which shows nothing.
TEST(WBIPFormatter, ReadsAndShowsAddresses) {
    const WBIPFormatter formatter;
    EXPECT_EQ(formatter.stringForObjectValue(QVariant::fromValue(0xC0A80101u)), "192.168.1.1");
    EXPECT_EQ(formatter.stringForObjectValue("whatever it says"), "whatever it says");
    const std::pair<const char *, std::optional<QString>> cases[] = {
        {"8.8.8.8", "8.8.8.8"}, {"", "(NONE)"},          {"(NONE)", "(NONE)"}, {"(none)", {}},
        {"0.0.0.0", "(NONE)"},  {"255.255.255.255", {}}, {"10.1", "10.0.0.1"},
    };
    for (const auto &[text, shown] : cases) {
        QVariant object = "stale";
        QString error;
        EXPECT_EQ(formatter.getObjectValue(&object, text, &error), shown.has_value()) << text;
        EXPECT_EQ(object.typeId(), shown ? QMetaType::UInt : QMetaType::UnknownType) << text;
        EXPECT_EQ(formatter.stringForObjectValue(object), shown) << text;
        EXPECT_EQ(error.isEmpty(), shown.has_value()) << text;
    }
    EXPECT_FALSE(formatter.getObjectValue(nullptr, "x", nullptr));
}

} // namespace

} // namespace flowtally
