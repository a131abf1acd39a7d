#include "WBLib/WBIPFormatter.h"

#include <gtest/gtest.h>

namespace flowtally {

namespace {

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
