// The line for a status bar: the parts a network without a limit or a
// cycle leaves out, the bytes of the cycle rather than of the totals, the
// billed ones against the limit, and ASCII where the terminal needs it.
#include "OneLineReport.h"

#include "StoredRecord.h"

#include <QTimeZone>

#include <gtest/gtest.h>

namespace flowtally {

namespace {

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
        {"a limit and a cycle", storedRecord("n", thisCycle, 10 * kG, 2 * kG, kLimit, 14),
         "10.0G ↓ 2.0G ↑ · 12.0G of 250G (5%) by the 14th\n"},
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
        // Start day 31 in March: the cycle began on February's last day.
        {"a limit in terabytes, a cycle of start day 31",
         storedRecord("n", thisCycle.addDays(16), 1536 * (kG >> 10), 0, 1.5 * 1024 * kG, 31),
         "1.5G ↓ 0.0B ↑ · 1.5G of 1.5T (0%) by the 31st\n"},
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
