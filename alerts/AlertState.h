#pragma once

#include <QDateTime>
#include <QVariantMap>

#include <optional>

namespace flowtally {

// What a network's alerts remember, so that each is sent at most once in a
// period, across restarts too: the controller keeps it in the network's
// record (under "limitAlerts", as toMap gives it) and hands it back to
// decideAlerts with every sample. It belongs to the period start it was made
// in; against any other it counts as empty, so a reset re-arms every alert.
struct AlertState {
    // The period start, in whole seconds (the settings file keeps no finer
    // dates); invalid while no alert was ever decided.
    QDateTime periodStart;
    // The limit, in whole bytes, that the marks below were made for.
    quint64 limit = 0;
    // The "Warn at" level, in percent, of the newest warning; none when no
    // warning was sent (or the limit alert came instead).
    std::optional<double> warnedAtPercent;
    bool limitReached = false;
    bool paceOverLimit = false;

    // The empty state of the period that starts at `periodStart`.
    static AlertState forPeriod(const QDateTime &periodStart);
    // Whether the state belongs to the period that starts at `periodStart`,
    // compared in whole seconds.
    bool isFor(const QDateTime &periodStart) const;

    bool operator==(const AlertState &) const = default;

    // The state as the settings file keeps it, a dictionary of
    //   "periodStart"     date
    //   "limit"           integer, bytes
    //   "warnedAtPercent" real; absent while no warning was sent
    //   "limitReached"    boolean
    //   "paceOverLimit"   boolean
    // The empty state gives an empty dictionary.
    QVariantMap toMap() const;
    // The state of such a dictionary. One without a valid period start is the
    // empty state; a missing mark reads as not sent.
    static AlertState fromMap(const QVariantMap &map);
};

} // namespace flowtally
