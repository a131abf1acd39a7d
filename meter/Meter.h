#pragma once

#include "meter/ApplicationTally.h"
#include "meter/LastReading.h"
#include "record/NetworkRecord.h"
#include "net/TrafficSample.h"

#include <QDateTime>
#include <QStringList>
#include <QTimeZone>
#include <QVariantMap>

#include <optional>

namespace flowtally {

// Flowtally's accounting for the network it meters: the network's record,
// the last reading, and what each sample adds to the totals and shows. It
// knows no window and no thread: fed samples, the limit the person set, the
// clock and the time zone, it answers figures, and the controller shows and
// stores them. Bytes of a sample read in the network's free hours (the
// record's freeWindows, in local time) go to its free totals as well.
class Meter {
  public:
    // What an accepted sample gave.
    struct Figures {
        // What it counted; for another network where `growth.network` is set
        // (the totals here are unchanged then).
        CounterGrowth growth;
        // In and out, in units of 1024 bytes a second.
        double inRate = 0, outRate = 0;
        // In + out since the reset date, the thirty-day projection of it
        // and the limit, in bytes.
        quint64 total = 0;
        double projection = 0, limit = 0;
        // Of `growth`, the bytes counted in free hours: all of it when the
        // sample was read in one of the network's free windows, else none.
        TrafficTotals free;
        // Of `total`, the bytes not counted in free hours.
        quint64 billed = 0;
        // Of `growth`, what each application moved (ApplicationTally).
        QMap<QString, TrafficTotals> applications;
    };

    // ---- The record ----
    NetworkRecord &record() { return record_; }
    const NetworkRecord &record() const { return record_; }
    // Takes the entries of a stored record (see NetworkRecord::take); the
    // keys that name no field come back.
    QStringList load(const QVariantMap &entries) { return record_.take(entries); }

    // ---- Readings ----
    LastReading &lastReading() { return lastReading_; }
    const LastReading &lastReading() const { return lastReading_; }
    // When the last sample of the held network was read; invalid before
    // the first.
    QDateTime lastFireDate() const { return lastFireDate_; }
    // The figures of the last accepted sample.
    quint64 totalBytes() const { return totalBytes_; }
    double projection() const { return projection_; }

    // Takes a sample of `currentService`, the network now, with a limit of
    // `limitNumber` units: none when the sample is of another network than
    // the held one, or of none; none too when it came less than 1.5 s
    // after the last one or lacks a counter, which moves only the time of
    // the last sample. `now` is the clock when the sample is taken; the
    // sample's time ("FireDate") in `zone` tells whether it was read in free
    // hours. Without a zone, the environment's.
    std::optional<Figures> take(const TrafficSample &sample,
                                const std::optional<QString> &currentService, double limitNumber,
                                const QDateTime &now, const QTimeZone &zone);
    std::optional<Figures> take(const TrafficSample &sample,
                                const std::optional<QString> &currentService, double limitNumber,
                                const QDateTime &now);

    // ---- Undo of a reset ----
    // The undo of a reset: the record of before it, with what was counted
    // since added to its totals and its free totals; the counters stay where
    // they are now, and so does the mark of the cycle reset (a reset undone
    // stays undone).
    // An automatic reset's record of before goes with it.
    void undoReset(const QVariantMap &before, bool automatic);

  private:
    NetworkRecord record_;
    LastReading lastReading_;
    ApplicationTally applications_;
    QDateTime lastFireDate_;
    quint64 totalBytes_ = 0;
    double projection_ = 0;
};

} // namespace flowtally
