#include "alerts/AlertRules.h"

#include <cmath>

namespace flowtally {

namespace {

constexpr double kWholeLimit = 100.0;          // percent
constexpr qint64 kPaceSettlingSeconds = 86400; // a day

// Whether `used` is at least `percent` of `limit`, without the rounding of a
// division: 200G of 250G is exactly 80 %.
bool reachesPercent(double used, double limit, double percent) {
    return used * kWholeLimit >= percent * limit;
}

std::optional<double> warningLevel(const AlertLevels &levels) {
    const std::optional<double> &level = levels.warnAtPercent;
    if (level && *level > 0 && *level < kWholeLimit)
        return level;
    return std::nullopt;
}

// Takes back the marks that no longer hold under a new limit.
void rearmForLimit(AlertState &state, const AlertFigures &figures) {
    if (state.warnedAtPercent &&
        !reachesPercent(figures.used, figures.limit, *state.warnedAtPercent))
        state.warnedAtPercent.reset();
    if (figures.used < figures.limit)
        state.limitReached = false;
    if (!(figures.projection > figures.limit))
        state.paceOverLimit = false;
}

// Whether the figures are held against a limit at all: one that is set, a
// period that began, totals of the cycle that holds `now`.
bool heldAgainstLimit(const AlertFigures &figures) {
    const bool staleTotals = figures.cycle && figures.periodStart < figures.cycle->start;
    return std::isfinite(figures.limit) && figures.limit > 0 && figures.periodStart.isValid() &&
           !staleTotals;
}

// The projection above the limit (exactly the limit is not) in a period at
// least a day old: sooner, a few busy hours project to many times the limit.
bool projectionPassesLimit(const AlertFigures &figures) {
    const bool settled = figures.periodStart.secsTo(figures.now) >= kPaceSettlingSeconds;
    return settled && std::isfinite(figures.projection) && figures.projection > figures.limit;
}

} // namespace

AlertDecision decideAlerts(const AlertFigures &figures, const AlertLevels &levels,
                           const AlertState &previous) {
    AlertDecision decision{{}, previous};
    const bool notMetered = levels.onlyOnMetered && figures.metered == false;
    if (!heldAgainstLimit(figures) || notMetered)
        return decision;

    AlertState &state = decision.state;
    if (!state.isFor(figures.periodStart))
        state = AlertState::forPeriod(figures.periodStart);
    const auto limit = static_cast<quint64>(std::llround(figures.limit));
    if (state.limit != limit) {
        rearmForLimit(state, figures);
        state.limit = limit;
    }

    std::vector<AlertKind> &alerts = decision.alerts;
    const std::optional<double> warnAt = warningLevel(levels);
    const bool newLevel = warnAt && (!state.warnedAtPercent || *warnAt > *state.warnedAtPercent);
    if (figures.used >= figures.limit) {
        if (!state.limitReached) {
            alerts.push_back(AlertKind::LimitReached);
            state.limitReached = true;
            if (newLevel)
                state.warnedAtPercent = warnAt;
        }
        return decision;
    }
    if (newLevel && reachesPercent(figures.used, figures.limit, *warnAt)) {
        alerts.push_back(AlertKind::Warning);
        state.warnedAtPercent = warnAt;
    }
    if (!state.paceOverLimit && projectionPassesLimit(figures)) {
        alerts.push_back(AlertKind::PaceOverLimit);
        state.paceOverLimit = true;
    }
    return decision;
}

bool offersToMarkMetered(const AlertFigures &figures) {
    return figures.metered == false && heldAgainstLimit(figures) &&
           (figures.used >= figures.limit || projectionPassesLimit(figures));
}

} // namespace flowtally
