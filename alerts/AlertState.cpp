#include "alerts/AlertState.h"

namespace flowtally {

namespace {

const QString kPeriodStart = QStringLiteral("periodStart");
const QString kLimit = QStringLiteral("limit");
const QString kWarnedAtPercent = QStringLiteral("warnedAtPercent");
const QString kLimitReached = QStringLiteral("limitReached");
const QString kPaceOverLimit = QStringLiteral("paceOverLimit");

} // namespace

AlertState AlertState::forPeriod(const QDateTime &periodStart) {
    AlertState state;
    if (periodStart.isValid())
        state.periodStart = QDateTime::fromSecsSinceEpoch(periodStart.toSecsSinceEpoch(), Qt::UTC);
    return state;
}

bool AlertState::isFor(const QDateTime &start) const {
    return periodStart.isValid() && start.isValid() &&
           periodStart.toSecsSinceEpoch() == start.toSecsSinceEpoch();
}

QVariantMap AlertState::toMap() const {
    if (!periodStart.isValid())
        return {};
    QVariantMap map{{kPeriodStart, periodStart},
                    {kLimit, limit},
                    {kLimitReached, limitReached},
                    {kPaceOverLimit, paceOverLimit}};
    if (warnedAtPercent)
        map.insert(kWarnedAtPercent, *warnedAtPercent);
    return map;
}

AlertState AlertState::fromMap(const QVariantMap &map) {
    AlertState state = forPeriod(map.value(kPeriodStart).toDateTime());
    if (!state.periodStart.isValid())
        return state;
    state.limit = map.value(kLimit).toULongLong();
    if (map.contains(kWarnedAtPercent))
        state.warnedAtPercent = map.value(kWarnedAtPercent).toDouble();
    state.limitReached = map.value(kLimitReached).toBool();
    state.paceOverLimit = map.value(kPaceOverLimit).toBool();
    return state;
}

} // namespace flowtally
