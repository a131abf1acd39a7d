// The report's texts for people: limits as a person enters them, ordinal
// days, names from outside made safe for a terminal, sources, and the one
// line for a status bar.
#include "report/ReportText.h"
#include "report/OneLineReport.h"

#include "tests/support/StoredRecord.h"

#include <QTimeZone>

#include <gtest/gtest.h>

namespace flowtally {

namespace {

constexpr double kG = 1024.0 * 1024.0 * 1024.0;

// Each text as the report shows it: limits that lose trailing zeros only,
// ordinal days, names from outside with what a terminal would not show
// replaced, and every source the settings file may name in the words of the
// window (what a record of an older Flowtally or another program leaves
// there is not known).
TEST(ReportText, EachValueInWords) {
    QStringList days;
    for (int day = 1; day <= 31; ++day)
        days << ordinalDay(day);
    const struct {
        QString text;
        QString shown;
    } cases[] = {
        {limitText(1.5 * 1024 * kG), "1.5T"},
        {limitText(1.25 * 1024 * kG), "1.25T"},
        {limitText(0.75 * kG), "0.75G"},
        {limitText(10.05 * kG), "10.05G"},
        {limitText(512), "512B"},
        {days.join(' '), "1st 2nd 3rd 4th 5th 6th 7th 8th 9th 10th 11th 12th 13th 14th 15th 16th "
                         "17th 18th 19th 20th 21st 22nd 23rd 24th 25th 26th 27th 28th 29th 30th "
                         "31st"},
        {printable("Caf\u00e9 \U0001F4F6 eth0"), "Caf\u00e9 \U0001F4F6 eth0"},
        {printable("a\nb\tc\rd"), "a\uFFFDb\uFFFDc\uFFFDd"},
        // A right-to-left override that would show the text backwards.
        {printable("abc\u202Edef"), "abc\uFFFDdef"},
        {printable("a\u009bb"), "a\uFFFDb"},
        {printable(QString(QChar(0xD800)) + "x"), "\uFFFDx"},
        {sourceText("local"), "This computer"},
        {sourceText("local-internet"), "This computer's Internet traffic"},
        {sourceText("Router"), "not known"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.text, c.shown);
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
        {"neither", storedRecord("n", thisCycle, 10 * kG, 2 * kG), "10.0G ↓ 2.0G ↑ · No limit\n"},
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
