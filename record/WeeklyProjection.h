#pragma once

#include "record/ExpectedTotal.h"
#include "history/HistoryBucket.h"
#include "history/HistoryStore.h"
#include "record/NetworkFigures.h"
#include "platform/system/Status.h"

#include <QDateTime>
#include <QList>
#include <QTimeZone>

#include <array>
#include <optional>

namespace flowtally {

// How a network's line is used through the week: the billed bytes it carries
// in each local hour of the week (Monday 00:00 to 01:00 first), the mean of
// that hour over the last eight weeks of its history, or over as many as
// there are. An hour of the week that the history has not seen yet takes the
// mean of the same hour on the days it has seen (and failing those, of all
// hours seen). Hours without traffic count as hours of no traffic.
//
// It projects the week's pattern forward: the bytes expected between two
// moments are the means of the hours between them, each for the part of it
// that lies between them.
class WeekProfile {
  public:
    // A profile that knows nothing.
    WeekProfile() = default;

    // The profile of a network at `now`, from its hourly buckets (as
    // HistoryStore::hours gives them, in `zone`; at least those since
    // readFrom(now)) and where its history begins (HistoryStore::historyStart).
    static WeekProfile fromHours(const QList<HistoryBucket> &hours, const QDateTime &historyStart,
                                 const QDateTime &now, const QTimeZone &zone);
    // Where the hours a profile at `now` reads begin: eight weeks before it.
    static QDateTime readFrom(const QDateTime &now);

    // Whether it knows enough to tell: a day of history at least.
    bool knowsEnough() const { return enough_; }
    // The billed bytes expected in [from, to); 0 for a profile that knows
    // nothing.
    double expectedBetween(const QDateTime &from, const QDateTime &to) const;

  private:
    static constexpr int kHoursAWeek = 7 * 24;
    std::array<double, kHoursAWeek> rates_{}; // bytes an hour
    QTimeZone zone_ = QTimeZone::utc();
    bool enough_ = false;
};

// Reads a network's profile at `now` from the history (its hours since
// WeekProfile::readFrom and its start), the hours in `zone`, the history's
// own. A network the history does not know gets a profile that knows nothing.
Status readWeekProfile(HistoryStore &history, const QString &network, const QDateTime &now,
                       const QTimeZone &zone, WeekProfile *profile);

// The weekly projection of a network's figures at `now`: the billed bytes
// counted so far and those the profile expects until the end, the cycle's
// end, or without a cycle thirty days after the reset date. None without a
// reset date, or when those thirty days are over; no bytes while the profile
// does not know enough.
std::optional<ExpectedTotal> expectedTotal(const NetworkFigures &figures,
                                           const WeekProfile &profile, const QDateTime &now);

} // namespace flowtally
