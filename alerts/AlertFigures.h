#pragma once

#include "history/BillingCycle.h"

#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include <optional>

namespace flowtally {

// One network's figures at one moment, as the alert rules and the alert
// texts take them: plain values that the controller has at hand after a
// sample.
struct AlertFigures {
    // The name a person knows the network by ("Home (gateway)").
    QString network;
    // The bytes counted since the period start (in + out).
    double used = 0;
    // The monthly limit in bytes; 0 means none.
    double limit = 0;
    // The total the period is heading for: with a cycle, projectedTotal() to
    // the cycle's end; without one, the thirty-day projection (the total ×
    // 30 days ÷ the time since the period start).
    double projection = 0;
    // When the totals began: the network's reset date.
    QDateTime periodStart;
    // The billing cycle that contains `now`; none when the network has none.
    std::optional<BillingCycle> cycle;
    QDateTime now;
    // Whether the connection is metered; none while nobody can tell.
    std::optional<bool> metered;
    // The zone the texts give dates in when there is no cycle (a cycle
    // brings its own).
    QTimeZone zone = QTimeZone::systemTimeZone();
};

} // namespace flowtally
