// Where local hours, days and months begin, at the edges that go wrong:
// ends of hours, days and months, clocks that go forward and back by an hour
// or by half an hour, a zone half an hour off the hour, a day without its
// midnight.
#include "LocalBuckets.h"
#include "HistoryFixture.h"

namespace flowtally {

namespace {

qint64 seconds(const char *iso) {
    return utc(iso).toSecsSinceEpoch();
}

TEST(LocalBuckets, StartsOfHourDayAndMonth) {
    // clang-format off
    const struct { const char *zone, *moment, *hour, *day, *month; } cases[] = {
        // Berlin, winter: 11:59:59 CET; then the last second of January and the first of February.
        {"Europe/Berlin", "2024-01-15T10:59:59Z", "2024-01-15T10:00:00Z", "2024-01-14T23:00:00Z", "2023-12-31T23:00:00Z"},
        {"Europe/Berlin", "2024-01-31T22:59:59Z", "2024-01-31T22:00:00Z", "2024-01-30T23:00:00Z", "2023-12-31T23:00:00Z"},
        {"Europe/Berlin", "2024-01-31T23:00:00Z", "2024-01-31T23:00:00Z", "2024-01-31T23:00:00Z", "2024-01-31T23:00:00Z"},
        // Berlin, clocks forward at 02:00 CET: 01:59:59 CET, 03:00 CEST, and the next day in CEST.
        {"Europe/Berlin", "2024-03-31T00:59:59Z", "2024-03-31T00:00:00Z", "2024-03-30T23:00:00Z", "2024-02-29T23:00:00Z"},
        {"Europe/Berlin", "2024-03-31T01:00:00Z", "2024-03-31T01:00:00Z", "2024-03-30T23:00:00Z", "2024-02-29T23:00:00Z"},
        {"Europe/Berlin", "2024-03-31T22:30:00Z", "2024-03-31T22:00:00Z", "2024-03-31T22:00:00Z", "2024-03-31T22:00:00Z"},
        // Berlin, clocks back at 03:00 CEST: 02:30 CEST and 02:30 CET are two hours.
        {"Europe/Berlin", "2024-10-27T00:30:00Z", "2024-10-27T00:00:00Z", "2024-10-26T22:00:00Z", "2024-09-30T22:00:00Z"},
        {"Europe/Berlin", "2024-10-27T01:30:00Z", "2024-10-27T01:00:00Z", "2024-10-26T22:00:00Z", "2024-09-30T22:00:00Z"},
        // Kolkata, UTC+5:30: hours begin at half past in UTC.
        {"Asia/Kolkata", "2024-05-10T05:15:00Z", "2024-05-10T04:30:00Z", "2024-05-09T18:30:00Z", "2024-04-30T18:30:00Z"},
        {"Asia/Kolkata", "2024-05-10T04:29:59Z", "2024-05-10T03:30:00Z", "2024-05-09T18:30:00Z", "2024-04-30T18:30:00Z"},
        // Lord Howe, clocks forward half an hour at 02:00 (+10:30 to +11): 01:59:59, 02:30 and 03:00 local.
        {"Australia/Lord_Howe", "2024-10-05T15:29:59Z", "2024-10-05T14:30:00Z", "2024-10-05T13:30:00Z", "2024-09-30T13:30:00Z"},
        {"Australia/Lord_Howe", "2024-10-05T15:40:00Z", "2024-10-05T15:30:00Z", "2024-10-05T13:30:00Z", "2024-09-30T13:30:00Z"},
        {"Australia/Lord_Howe", "2024-10-05T16:00:00Z", "2024-10-05T16:00:00Z", "2024-10-05T13:30:00Z", "2024-09-30T13:30:00Z"},
        // Lord Howe, clocks back half an hour at 02:00 (+11 to +10:30): 01:59:59, 01:40 and 02:00 local.
        {"Australia/Lord_Howe", "2024-04-06T14:59:59Z", "2024-04-06T14:00:00Z", "2024-04-06T13:00:00Z", "2024-03-31T13:00:00Z"},
        {"Australia/Lord_Howe", "2024-04-06T15:10:00Z", "2024-04-06T15:00:00Z", "2024-04-06T13:00:00Z", "2024-03-31T13:00:00Z"},
        {"Australia/Lord_Howe", "2024-04-06T15:30:00Z", "2024-04-06T15:30:00Z", "2024-04-06T13:00:00Z", "2024-03-31T13:00:00Z"},
        // Havana, clocks forward at midnight: 10 March begins at 01:00 CDT.
        {"America/Havana", "2024-03-10T12:00:00Z", "2024-03-10T12:00:00Z", "2024-03-10T05:00:00Z", "2024-03-01T05:00:00Z"},
        {"America/Havana", "2024-03-10T04:59:59Z", "2024-03-10T04:00:00Z", "2024-03-09T05:00:00Z", "2024-03-01T05:00:00Z"},
    };
    // clang-format on
    for (const auto &c : cases) {
        const QTimeZone in = zone(c.zone);
        const qint64 moment = seconds(c.moment);
        EXPECT_EQ(localHourStart(moment, in), seconds(c.hour)) << c.zone << ' ' << c.moment;
        EXPECT_EQ(localDayStart(moment, in), seconds(c.day)) << c.zone << ' ' << c.moment;
        EXPECT_EQ(localMonthStart(moment, in), seconds(c.month)) << c.zone << ' ' << c.moment;
    }
}

} // namespace

} // namespace flowtally
