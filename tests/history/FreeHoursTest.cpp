// Free hours: windows of local wall-clock time across midnight and the
// changes of Berlin's clocks; the history keeping the free part of every
// row beside its bytes, brought in line with a record's free totals, and read
// anew when the windows change, saying what it cannot read anew.
#include "history/HistoryWriter.h"
#include "tests/history/HistoryFixture.h"
#include "tests/support/TestEnvironment.h"

namespace flowtally {

namespace {

constexpr FreeWindow k02to08{120, 480};
constexpr FreeWindow k23to01{1380, 60};

using FreeHours = HistoryFixture;

TEST_F(FreeHours, WindowsFollowTheWallClock) {
    // clang-format off
    const struct { const char *what; FreeWindows windows; const char *at; bool free; } cases[] = {
        {"the first minute", {k02to08}, "2024-05-02T00:00:00Z", true}, // 02:00 CEST
        {"the last minute", {k02to08}, "2024-05-02T05:59:59Z", true},
        {"the end", {k02to08}, "2024-05-02T06:00:00Z", false},
        {"before", {k02to08}, "2024-05-01T23:59:59Z", false},
        {"across midnight, before it", {k23to01}, "2024-05-01T21:00:00Z", true},
        {"across midnight, after it", {k23to01}, "2024-05-01T22:59:00Z", true},
        {"across midnight, at its end", {k23to01}, "2024-05-01T23:00:00Z", false},
        // 27 October: 02:00 to 03:00 comes twice, at 00:00 and 01:00 UTC.
        {"the first 02:30", {{150, 180}}, "2024-10-27T00:30:00Z", true},
        {"the second 02:30", {{150, 180}}, "2024-10-27T01:30:00Z", true},
        // 31 March: 02:00 to 03:00 does not come; 01:59 is followed by 03:00.
        {"01:59 on the day the clocks go forward", {{120, 180}}, "2024-03-31T00:59:00Z", false},
        {"03:00 on it", {{120, 180}}, "2024-03-31T01:00:00Z", false},
        {"a second window", {k02to08, {720, 780}}, "2024-05-02T10:30:00Z", true},
        {"a window of nothing", {{600, 600}}, "2024-05-02T08:00:00Z", false},
        {"none", {}, "2024-05-02T01:00:00Z", false},
    };
    // clang-format on
    for (const auto &c : cases)
        EXPECT_EQ(isFreeAt(c.windows, utc(c.at), berlin), c.free) << c.what;
}

TEST_F(FreeHours, HowMuchOfAStretchLiesInTheWindows) {
    // clang-format off
    const struct { const char *what; FreeWindows windows; const char *from, *to; FreeCover cover; } cases[] = {
        {"02:00 to 03:00 CEST", {k02to08}, "2024-05-02T00:00:00Z", "2024-05-02T01:00:00Z", FreeCover::Whole},
        {"01:00 to 02:00 CEST", {k02to08}, "2024-05-01T23:00:00Z", "2024-05-02T00:00:00Z", FreeCover::None},
        {"02:00 to 02:30 free", {{150, 480}}, "2024-05-02T00:00:00Z", "2024-05-02T01:00:00Z", FreeCover::Part},
        {"the day", {k02to08}, "2024-05-01T22:00:00Z", "2024-05-02T22:00:00Z", FreeCover::Part},
        {"the hour across midnight of a window across it", {k23to01}, "2024-05-01T21:30:00Z", "2024-05-01T22:30:00Z", FreeCover::Whole},
        // When the clocks go back, the two hours from 02:00 lie in a window
        // of 02:00 to 03:00 and the hour after them does not; when they go
        // forward, 01:00 to 03:00 is one hour of UTC, half of it in 01:30 to 03:00.
        {"the two hours from 02:00", {{120, 180}}, "2024-10-27T00:00:00Z", "2024-10-27T02:00:00Z", FreeCover::Whole},
        {"the hour after them", {{120, 180}}, "2024-10-27T02:00:00Z", "2024-10-27T03:00:00Z", FreeCover::None},
        {"01:00 to 01:30 CET", {{90, 180}}, "2024-03-31T00:00:00Z", "2024-03-31T00:30:00Z", FreeCover::None},
        {"01:30 CET to 03:00 CEST", {{90, 180}}, "2024-03-31T00:30:00Z", "2024-03-31T01:00:00Z", FreeCover::Whole},
        {"none", {}, "2024-05-02T00:00:00Z", "2024-05-02T01:00:00Z", FreeCover::None},
    };
    // clang-format on
    for (const auto &c : cases)
        EXPECT_EQ(freeCover(c.windows, utc(c.from).toSecsSinceEpoch(), utc(c.to).toSecsSinceEpoch(),
                            berlin),
                  c.cover)
            << c.what;
}

class FreeHoursHistoryTest : public HistoryFixture {
  protected:
    const QDateTime periodStart = utc("2024-05-01T22:00:00Z"); // 2 May, 00:00 in Berlin

    // Bytes every 20 minutes for `days` days from the period start, free
    // where the windows say; the entries' sums.
    TrafficTotals addDays(HistoryStore &store, int days, const FreeWindows &windows,
                          TrafficTotals *free) {
        std::vector<HistoryEntry> entries;
        TrafficTotals bytes;
        for (QDateTime at = periodStart; at < periodStart.addDays(days); at = at.addSecs(1200)) {
            const quint64 in = 1000 + quint64(at.toSecsSinceEpoch() % 7), out = 10;
            const bool isFree = isFreeAt(windows, at, berlin);
            entries.push_back({kHome, at, in, out, periodStart, isFree ? in : 0, isFree ? out : 0});
            bytes = {bytes.in + in, bytes.out + out};
            if (isFree)
                *free = {free->in + in, free->out + out};
        }
        add(store, entries);
        return bytes;
    }

    // Each hour's free part, "HH:MM in out" in Berlin, of the first day.
    Lines freeHoursOfTheFirstDay(HistoryStore &store) {
        Lines lines;
        for (const HistoryBucket &hour : rows(store, Tier::Hours, kHome, periodStart)) {
            if (hour.start < periodStart.addDays(1) && (hour.freeIn != 0 || hour.freeOut != 0))
                lines.push_back(
                    hour.start.toTimeZone(berlin).toString("HH:mm").toStdString() +
                    (hour.freeIn == hour.in && hour.freeOut == hour.out ? " whole" : " part"));
        }
        return lines;
    }
};

TEST_F(FreeHoursHistoryTest, RowsKeepTheirFreePartAndAreBroughtInLineWithTheRecord) {
    auto store = open();
    TrafficTotals free;
    const TrafficTotals bytes = addDays(*store, 3, {k02to08}, &free);
    EXPECT_EQ(since(*store, kHome, periodStart), bytes);
    EXPECT_EQ(freeSince(*store, kHome, periodStart), free);
    EXPECT_EQ(freeHoursOfTheFirstDay(*store), (Lines{"02:00 whole", "03:00 whole", "04:00 whole",
                                                     "05:00 whole", "06:00 whole", "07:00 whole"}));

    // The record holds 5000 bytes more and 6000 free bytes more (Flowtally
    // ended before the history was written): the missing bytes come at `at`
    // and take the free part first, as much as they hold; then a record with
    // fewer free bytes makes the newest free bytes billed again.
    const QDateTime at = periodStart.addDays(3);
    const auto reconcile = [&](TrafficTotals totals, std::optional<TrafficTotals> freeTotals,
                               TrafficTotals freeAfter) {
        ASSERT_TRUE(
            store->reconcile(kHome, periodStart, totals.in, totals.out, at, freeTotals).ok());
        EXPECT_EQ(since(*store, kHome, periodStart), totals);
        EXPECT_EQ(freeSince(*store, kHome, periodStart), freeAfter);
    };
    reconcile({bytes.in + 5000, bytes.out}, {{free.in + 6000, free.out}},
              {free.in + 6000, free.out});
    // The newest row is free whole, the hour before it holds the rest.
    const QList<HistoryBucket> last = rows(*store, Tier::Hours, kHome, at.addSecs(-3600));
    ASSERT_EQ(last.size(), 2);
    EXPECT_EQ(last[1].freeIn, 5000u);
    EXPECT_EQ(last[0].freeIn, 1000u);
    // Without free totals, taking bytes away takes billed ones first, never
    // leaving a row more free than it holds; else the free part stays as it is.
    reconcile({bytes.in + 1000, bytes.out}, std::nullopt, {free.in + 2000, free.out});
    reconcile({bytes.in + 5000, bytes.out}, {{free.in - 500, 0}}, {free.in - 500, 0});
    reconcile(bytes, std::nullopt, {free.in - 500, 0});
}

TEST_F(FreeHoursHistoryTest, AChangeOfTheWindowsMidCycleIsReadAnewWhereTheHoursTell) {
    auto store = open();
    TrafficTotals free;
    const TrafficTotals bytes = addDays(*store, 3, {k02to08}, &free);

    // 02:00 to 08:00 becomes 03:30 to 09:00: 02:00 and 03:00 cannot be told
    // whole (03:00 is cut by the window's start), 08:00 becomes free.
    FreeHoursChange change;
    ASSERT_TRUE(store->reapplyFreeHours(kHome, periodStart, {{210, 540}}, &change).ok());
    EXPECT_EQ(freeHoursOfTheFirstDay(*store), (Lines{"03:00 whole", "04:00 whole", "05:00 whole",
                                                     "06:00 whole", "07:00 whole", "08:00 whole"}));
    EXPECT_EQ(change.keptHours, 3);
    EXPECT_EQ(change.keptDays, 0);
    const TrafficTotals after = freeSince(*store, kHome, periodStart);
    EXPECT_EQ(since(*store, kHome, periodStart), bytes);
    EXPECT_EQ(after, (TrafficTotals{free.in + change.madeFree.in - change.madeBilled.in,
                                    free.out + change.madeFree.out - change.madeBilled.out}));
    EXPECT_GT(change.madeFree.in, 0u);
    EXPECT_GT(change.madeBilled.in, 0u);
    // The days are the sums of their hours.
    EXPECT_EQ(sum(rows(*store, Tier::Days, kHome, periodStart)),
              sum(rows(*store, Tier::Hours, kHome, periodStart)));

    // Days whose hours are gone (pruned 90 days on): without free hours
    // every day is billed whole; with other windows a day cannot be told.
    ASSERT_TRUE(store->prune(periodStart.addDays(100)).ok());
    ASSERT_TRUE(store->reapplyFreeHours(kHome, periodStart, {k23to01}, &change).ok());
    EXPECT_EQ(change, (FreeHoursChange{{}, {}, bytes, 0, 3}));
    ASSERT_TRUE(store->reapplyFreeHours(kHome, periodStart, {}, &change).ok());
    EXPECT_EQ(change.madeBilled, after);
    EXPECT_EQ(change.keptDays, 0);
    EXPECT_EQ(freeSince(*store, kHome, periodStart), (TrafficTotals{}));
}

TEST_F(FreeHoursHistoryTest, TheWriterReadsAnewAfterTheBytesAddedBeforeIt) {
    HistoryWriter writer(path(), {.zone = berlin});
    const QDateTime two = utc("2024-05-02T00:30:00Z"), nine = utc("2024-05-02T07:30:00Z");
    TestEnvironment environment;
    environment.setClock([&] { return nine; });
    // 02:30 counted free; then the windows become 08:00 to 10:00, and 09:30
    // is counted free under them.
    writer.add({kHome, two, 100, 10, periodStart, 100, 10});
    std::optional<FreeHoursChange> told;
    writer.reapplyFreeHours(kHome, periodStart, {{480, 600}},
                            [&](const Status &status, const FreeHoursChange &change) {
                                EXPECT_TRUE(status.ok()) << status.message().toStdString();
                                told = change;
                            });
    writer.add({kHome, nine, 7, 1, periodStart, 7, 1});
    // Then 10:30 to 11:00, and 10:40 counted free: its hour, read anew
    // after it, could not be told.
    std::optional<FreeHoursChange> second;
    writer.reapplyFreeHours(
        kHome, periodStart, {{630, 660}},
        [&](const Status &, const FreeHoursChange &change) { second = change; });
    writer.add({kHome, utc("2024-05-02T08:40:00Z"), 5, 0, periodStart, 5, 0});
    writer.stage(1);
    writer.settingsWritten(1);
    ASSERT_TRUE(told);
    EXPECT_EQ(*told, (FreeHoursChange{{}, {100, 10}, {}, 0, 0}));
    ASSERT_TRUE(second);
    EXPECT_EQ(*second, (FreeHoursChange{{}, {7, 1}, {}, 0, 0}));
    auto store = open({.readOnly = true, .zone = berlin});
    EXPECT_EQ(freeSince(*store, kHome, periodStart), (TrafficTotals{5, 0}));
    EXPECT_EQ(since(*store, kHome, periodStart), (TrafficTotals{112, 11}));
}

} // namespace

} // namespace flowtally
