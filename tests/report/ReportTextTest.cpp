// The report's texts for people: limits as a person enters them, ordinal
// days, names from outside made safe for a terminal, and the one line for a
// status bar.
#include "report/ReportText.h"
#include "report/OneLineReport.h"

#include "tests/support/StoredRecord.h"

#include <QTimeZone>

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
    QStringList days;
    for (int day = 1; day <= 31; ++day)
        days << ordinalDay(day);
    EXPECT_EQ(days.join(' ').toStdString(),
              "1st 2nd 3rd 4th 5th 6th 7th 8th 9th 10th 11th 12th 13th 14th 15th 16th 17th 18th "
              "19th 20th 21st 22nd 23rd 24th 25th 26th 27th 28th 29th 30th 31st");
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

// Every source the settings file may name, and what a record of an older
// Flowtally or another program leaves there.
TEST(ReportText, SourcesInTheWordsOfTheWindow) {
    const struct {
        const char *stored;
        const char *text;
    } cases[] = {
        {"local", "This computer"}, {"local-internet", "This computer's Internet traffic"},
        {"router", "SNMP"},         {"upnp", "UPnP"},
        {"", "not known"},          {"Router", "not known"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(sourceText(QString::fromUtf8(c.stored)).toStdString(), c.text) << c.stored;
}

// The line for a status bar: the parts a network without a limit or a
// cycle leaves out, the bytes of the cycle rather than of the totals, the
// billed ones against the limit, and ASCII where the terminal needs it.
TEST(OneLineReport, ThePartsANetworkHas) {
    const QTimeZone berlin("Europe/Berlin");
    const QDateTime now = QDateTime::fromString("2024-03-05T11:00:00Z", Qt::ISODate);
    const QDateTime thisCycle = QDateTime::fromString("2024-02-14T00:00:00+01:00", Qt::ISODate);
    constexpr quint64 kG = quint64(1) << 30;
    constexpr double kLimit = 250.0 * kG;
    NetworkRecord freeHours = storedRecord("n", thisCycle, 10 * kG, 2 * kG, kLimit, 14);
    freeHours.freeWindows = {{120, 480}};
    freeHours.freeIn = 3 * kG;
    const struct {
        const char *what;
        NetworkRecord record;
        const char *line;
    } cases[] = {
        {"a cycle", storedRecord("n", thisCycle, 10 * kG, 2 * kG, 0, 14),
         "10.0G ↓ 2.0G ↑ · No limit · until the 14th\n"},
        {"a limit", storedRecord("n", thisCycle, 10 * kG, 2 * kG, kLimit),
         "10.0G ↓ 2.0G ↑ · 12.0G of 250G (5%)\n"},
        {"neither", storedRecord("n", thisCycle, 10 * kG, 2 * kG), "10.0G ↓ 2.0G ↑ · No limit\n"},
        {"over the limit", storedRecord("n", thisCycle, 250 * kG, 10 * kG, kLimit, 14),
         "250.0G ↓ 10.0G ↑ · 260.0G of 250G (104%, over the limit) by the 14th\n"},
        {"free hours", freeHours,
         "10.0G ↓ 2.0G ↑ · 9.0G of 250G (4%) by the 14th · free hours 3.0G\n"},
        // Flowtally has not run since this cycle began: nothing counted in it.
        {"totals of the cycle before",
         storedRecord("n", thisCycle.addDays(-1), 10 * kG, 2 * kG, kLimit, 14),
         "0.0B ↓ 0.0B ↑ · 0.0B of 250G (0%) by the 14th\n"},
    };
    for (const auto &c : cases) {
        const NetworkReport network{
            QStringLiteral("name"), figuresOf(c.record, now, berlin), {}, {}};
        EXPECT_EQ(oneLineReport(network).toStdString(), c.line) << c.what;
    }
    // In ASCII, for a terminal whose character set is not UTF-8.
    const NetworkReport network{QStringLiteral("name"), figuresOf(freeHours, now, berlin), {}, {}};
    EXPECT_EQ(oneLineReport(network, Characters::Ascii).toStdString(),
              "10.0G in 2.0G out | 9.0G of 250G (4%) by the 14th | free hours 3.0G\n");
}

} // namespace

} // namespace flowtally
