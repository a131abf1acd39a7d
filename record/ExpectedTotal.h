#pragma once

#include <QDateTime>

#include <optional>

namespace flowtally {

// The billed traffic a network is expected to have counted by the end of its
// billing cycle, or without a cycle by the end of thirty days after its
// reset date, from the way its line was used in the last weeks
// (WeeklyProjection.h).
struct ExpectedTotal {
    QDateTime end;
    // Bytes; none while the history is too short to tell ("not enough data
    // yet").
    std::optional<double> billed;

    bool operator==(const ExpectedTotal &) const = default;
};

} // namespace flowtally
