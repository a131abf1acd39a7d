// The report's texts for people: limits as a person enters them, ordinal
// days, and names from outside made safe for a terminal.
#include "ReportText.h"

#include <gtest/gtest.h>

namespace flowtally {

namespace {

constexpr double kG = 1024.0 * 1024.0 * 1024.0;

TEST(ReportText, LimitsLoseTrailingZerosOnly) {
    const struct {
        double bytes;
        const char *text;
    } cases[] = {
        {250 * kG, "250G"},   {1.5 * 1024 * kG, "1.5T"}, {1.25 * 1024 * kG, "1.25T"},
        {0.75 * kG, "0.75G"}, {100 * kG, "100G"},        {10.05 * kG, "10.05G"},
        {512, "512B"},        {1.999 * kG, "2G"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(limitText(c.bytes).toStdString(), c.text) << c.bytes;
}

TEST(ReportText, OrdinalDays) {
    const struct {
        int day;
        const char *text;
    } cases[] = {{1, "1st"},   {2, "2nd"},   {3, "3rd"},   {4, "4th"},   {10, "10th"},
                 {11, "11th"}, {12, "12th"}, {13, "13th"}, {14, "14th"}, {21, "21st"},
                 {22, "22nd"}, {23, "23rd"}, {30, "30th"}, {31, "31st"}};
    for (const auto &c : cases)
        EXPECT_EQ(ordinalDay(c.day).toStdString(), c.text) << c.day;
}

TEST(ReportText, PrintableKeepsWhatATerminalShowsAndReplacesTheRest) {
    const struct {
        QString text;
        QString shown;
    } cases[] = {
        {QStringLiteral("Home router"), QStringLiteral("Home router")},
        {QStringLiteral("Caf\u00e9 \U0001F4F6 eth0"), QStringLiteral("Caf\u00e9 \U0001F4F6 eth0")},
        // An escape sequence that would paint the rest of the screen red.
        {QStringLiteral("a\x1b[31mb"), QStringLiteral("a\uFFFD[31mb")},
        {QStringLiteral("a\nb\tc\rd"), QStringLiteral("a\uFFFDb\uFFFDc\uFFFDd")},
        // A right-to-left override that would show the text backwards.
        {QStringLiteral("abc\u202Edef"), QStringLiteral("abc\uFFFDdef")},
        {QStringLiteral("a\u009bb"), QStringLiteral("a\uFFFDb")},
        {QString(QChar(0xD800)) + QStringLiteral("x"), QStringLiteral("\uFFFDx")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(printable(c.text), c.shown) << c.text.toStdString();
}

} // namespace

} // namespace flowtally
