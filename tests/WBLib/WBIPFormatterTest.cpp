#include "WBIPFormatter.h"

#include "IsValidLocalIP.h"

#include <QDate>

#include <gtest/gtest.h>

TEST(WBIPFormatter, ShowsValues) {
    const WBIPFormatter formatter;
    const struct {
        QVariant value;
        std::optional<QString> text;
    } cases[] = {
        {QVariant::fromValue(quint32(0)), "(NONE)"},
        {QVariant::fromValue(quint32(0xC0A80101)), "192.168.1.1"},
        {QVariant::fromValue(quint32(0xFFFFFFFF)), "255.255.255.255"},
        {QStringLiteral("whatever it says"), "whatever it says"},
        {QDate(2024, 1, 1), std::nullopt},
        {QVariant(), std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(formatter.stringForObjectValue(c.value), c.text)
            << c.value.toString().toStdString();
    EXPECT_FALSE(formatter.attributedStringForObjectValue(0, {}).has_value());
}

TEST(WBIPFormatter, ReadsTypedText) {
    const WBIPFormatter formatter;
    const struct {
        const char *text;
        bool accepted;
        quint32 number;
    } cases[] = {
        {"", true, 0},
        {"(NONE)", true, 0},
        {"(none)", false, 0},
        {"8.8.8.8", true, 0x08080808},
        {"0.0.0.0", true, 0},
        {"255.255.255.255", false, 0},
        {"10.1", true, 0x0A000001},
        {"router.local", false, 0},
    };
    for (const auto &c : cases) {
        QVariant object = QStringLiteral("stale");
        QString error;
        EXPECT_EQ(formatter.getObjectValue(&object, c.text, &error), c.accepted) << c.text;
        if (c.accepted) {
            EXPECT_EQ(object.typeId(), QMetaType::UInt) << c.text;
            EXPECT_EQ(object.value<quint32>(), c.number) << c.text;
        } else {
            EXPECT_FALSE(object.isValid()) << c.text;
            EXPECT_FALSE(error.isEmpty()) << c.text;
        }
    }
    // Without places for the results nothing is written.
    EXPECT_FALSE(formatter.getObjectValue(nullptr, "x", nullptr));
}

TEST(WBIPFormatter, ShortFormShowsInFullAfterReading) {
    const WBIPFormatter formatter;
    QVariant object;
    ASSERT_TRUE(formatter.getObjectValue(&object, "10.1", nullptr));
    EXPECT_EQ(formatter.stringForObjectValue(object), "10.0.0.1");
}
