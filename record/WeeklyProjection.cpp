#include "record/WeeklyProjection.h"

#include "history/LocalBuckets.h"

#include <algorithm>
#include <limits>

namespace flowtally {

namespace {

constexpr qint64 kHour = 3600;
constexpr qint64 kDay = 24 * kHour;
constexpr qint64 kThirtyDays = 30 * kDay;
constexpr int kWeeksRead = 8;

qint64 floorModulo(qint64 value, qint64 by) {
    const qint64 rest = value % by;
    return rest < 0 ? rest + by : rest;
}

// A zone's wall clock read moment after moment: its offset from UTC is asked
// again only where it may have changed.
class WallClock {
  public:
    explicit WallClock(const QTimeZone &zone) : zone_(zone) {}

    // Seconds since the epoch as the wall clock reads them.
    qint64 local(qint64 moment) {
        if (moment < from_ || moment >= until_) {
            const QDateTime at = QDateTime::fromSecsSinceEpoch(moment, Qt::UTC);
            offset_ = zone_.offsetFromUtc(at);
            const QTimeZone::OffsetData next = zone_.nextTransition(at);
            from_ = moment;
            until_ = next.atUtc.isValid() ? std::max(next.atUtc.toSecsSinceEpoch(), moment + 1)
                                          : std::numeric_limits<qint64>::max();
        }
        return moment + offset_;
    }
    // Where the offset read last may change.
    qint64 until() const { return until_; }

  private:
    const QTimeZone &zone_;
    int offset_ = 0;
    qint64 from_ = 0, until_ = std::numeric_limits<qint64>::min();
};

// The hour of the week of a wall-clock time: Monday 00:00 is 0.
int hourOfWeek(qint64 local) {
    // 1 January 1970 was a Thursday, the fourth day of its week.
    const qint64 day = (local - floorModulo(local, kDay)) / kDay;
    return static_cast<int>(floorModulo(day + 3, 7) * 24 + floorModulo(local, kDay) / kHour);
}

// Walks [from, to) piece by piece, each within one wall-clock hour: `piece`
// gets the hour of the week and the piece's share of an hour.
template <typename Piece>
void walkHours(const QTimeZone &zone, qint64 from, qint64 to, Piece piece) {
    WallClock clock(zone);
    for (qint64 at = from; at < to;) {
        const qint64 local = clock.local(at);
        const qint64 end = std::min({at + kHour - floorModulo(local, kHour), clock.until(), to});
        piece(hourOfWeek(local), static_cast<double>(end - at) / kHour);
        at = end;
    }
}

double billedOf(const HistoryBucket &bucket) {
    return static_cast<double>(bucket.in - std::min(bucket.freeIn, bucket.in)) +
           static_cast<double>(bucket.out - std::min(bucket.freeOut, bucket.out));
}

} // namespace

QDateTime WeekProfile::readFrom(const QDateTime &now) {
    return now.addSecs(-kWeeksRead * 7 * kDay);
}

WeekProfile WeekProfile::fromHours(const QList<HistoryBucket> &hours, const QDateTime &historyStart,
                                   const QDateTime &now, const QTimeZone &zone) {
    WeekProfile profile;
    profile.zone_ = zone;
    if (!historyStart.isValid() || !now.isValid())
        return profile;
    // The whole hours seen: from the history's first hour, eight weeks
    // back at most, to the hour now under way.
    const qint64 end = localHourStart(now.toSecsSinceEpoch(), zone);
    const qint64 readStart = readFrom(now).toSecsSinceEpoch();
    const qint64 firstWhole = localHourStart(readStart, zone) == readStart
                                  ? readStart
                                  : nextLocalHourStart(readStart, zone);
    const qint64 start =
        std::max(localHourStart(historyStart.toSecsSinceEpoch(), zone), firstWhole);
    std::array<double, kHoursAWeek> bytes{}, seen{};
    walkHours(zone, start, end, [&](int hour, double share) { seen[hour] += share; });
    WallClock clock(zone);
    for (const HistoryBucket &bucket : hours) {
        const qint64 at = bucket.start.toSecsSinceEpoch();
        if (at >= start && at < end)
            bytes[hourOfWeek(clock.local(at))] += billedOf(bucket);
    }

    // The same hour on every day, and all hours.
    std::array<double, 24> dayBytes{}, daySeen{};
    double allBytes = 0, allSeen = 0;
    for (int hour = 0; hour < kHoursAWeek; ++hour) {
        dayBytes[hour % 24] += bytes[hour];
        daySeen[hour % 24] += seen[hour];
        allBytes += bytes[hour];
        allSeen += seen[hour];
    }
    if (allSeen <= 0)
        return profile;
    for (int hour = 0; hour < kHoursAWeek; ++hour) {
        const int ofDay = hour % 24;
        profile.rates_[hour] = seen[hour] > 0       ? bytes[hour] / seen[hour]
                               : daySeen[ofDay] > 0 ? dayBytes[ofDay] / daySeen[ofDay]
                                                    : allBytes / allSeen;
    }
    profile.enough_ = historyStart.secsTo(now) >= kDay;
    return profile;
}

double WeekProfile::expectedBetween(const QDateTime &from, const QDateTime &to) const {
    double expected = 0;
    if (from.isValid() && to.isValid())
        walkHours(zone_, from.toSecsSinceEpoch(), to.toSecsSinceEpoch(),
                  [&](int hour, double share) { expected += rates_[hour] * share; });
    return expected;
}

Status readWeekProfile(HistoryStore &history, const QString &network, const QDateTime &now,
                       const QTimeZone &zone, WeekProfile *profile) {
    *profile = WeekProfile();
    QDateTime start;
    QList<HistoryBucket> hours;
    Status status = history.historyStart(network, &start);
    if (status.ok() && start.isValid())
        status = history.hours(network, WeekProfile::readFrom(now), now, &hours);
    if (status.ok() && start.isValid())
        *profile = WeekProfile::fromHours(hours, start, now, zone);
    return status;
}

std::optional<ExpectedTotal> expectedTotal(const NetworkFigures &figures,
                                           const WeekProfile &profile, const QDateTime &now) {
    QDateTime end;
    quint64 billed = 0;
    if (figures.cycle) {
        end = figures.cycle->cycle.end;
        billed = totalOf(billedOf(figures.cycle->counted, figures.cycle->free));
    } else if (figures.resetDate.isValid()) {
        end = figures.resetDate.addSecs(kThirtyDays);
        billed = totalOf(billedOf(figures.totals, figures.free));
    }
    if (!end.isValid() || end <= now)
        return std::nullopt;
    if (!profile.knowsEnough())
        return ExpectedTotal{end, std::nullopt};
    return ExpectedTotal{end, static_cast<double>(billed) + profile.expectedBetween(now, end)};
}

} // namespace flowtally
