#pragma once

#include "alerts/AlertFigures.h"
#include "alerts/AlertKind.h"
#include "alerts/AlertState.h"

#include <optional>
#include <vector>

namespace flowtally {

// The "Warn at" preference: the used share of the limit, in percent, that
// brings the first alert; none when it is off. A level outside 0 to 100
// (both excluded) gives no warning: at 100 the limit alert speaks.
struct AlertLevels {
    std::optional<double> warnAtPercent = 80.0;
    // The network's "Alert me only on metered connections".
    bool onlyOnMetered = false;
};

// The alerts due for a network, in the order to send them, and the state to
// keep in its record from now on.
struct AlertDecision {
    std::vector<AlertKind> alerts;
    AlertState state;
};

// Which alerts a network's figures call for, given the state its record
// kept. Rules without I/O, cheap enough for every sample:
//
// - None at all, and the state as it was, without a limit (0), without a
//   valid period start, or when a cycle began after the period start (the
//   totals are an older cycle's, and the controller is about to reset them).
//   None either, and the state as it was, when alerts are only for metered
//   connections and this one is not metered: what falls due meanwhile comes
//   once it is. While nobody can tell, the alerts come as usual.
// - The state of another period start counts as empty: a reset re-arms.
// - LimitReached once the used bytes reach the limit (exactly the limit
//   counts).
// - Warning once they reach the warning level (exactly the level counts) but
//   not the limit. Crossing both at once sends LimitReached only and counts
//   the warning as sent. A higher level than the one warned at warns again
//   when reached; a lower one does not.
// - PaceOverLimit once the projection is above the limit (exactly the limit
//   is not), while the limit is not reached yet and the period is at least a
//   day old: sooner, a few busy hours project to many times the limit.
// - Each of these at most once while the state's period and limit last. A
//   new limit re-arms the alerts that no longer hold under it (raised above
//   the used bytes or the projection) and keeps the rest sent.
AlertDecision decideAlerts(const AlertFigures &figures, const AlertLevels &levels,
                           const AlertState &previous);

// Whether to offer to mark the connection metered, so that the programs that
// honour it put off their downloads: when NetworkManager tells it is not
// metered (not while nobody can tell) and the period is heading past the
// limit as PaceOverLimit sees it, or has reached it. Never without a limit,
// a valid period start, or with totals of an older cycle. Asked afresh with
// each sample and each change of the metered state; nothing to remember.
bool offersToMarkMetered(const AlertFigures &figures);

} // namespace flowtally
