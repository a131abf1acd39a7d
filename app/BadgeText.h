#pragma once

#include "meter/Meter.h"

#include <QString>

#include <optional>

namespace flowtally {

// What the badge says of the held network after a sample.
struct BadgeText {
    // On the icon: the thirty-day projection in whole units ("32G"), of the
    // bytes held against the limit, which are all bytes unless some were
    // counted in free hours; "∞" or "—" when it is not a finite number.
    QString label;
    // Beside it, in the tooltip: the bytes held against the limit and the
    // limit, with the days left in the cycle where there is one:
    // "0.52G of 1.00G used · 28 days left"; "0.52G used · No limit" for a
    // limit of 0 (or one that is not a number of bytes).
    QString detail;

    bool operator==(const BadgeText &) const = default;
};

// The badge's text for a sample's figures; `daysLeft` is none without a
// billing cycle.
BadgeText badgeText(const Meter::Figures &figures, std::optional<int> daysLeft);

} // namespace flowtally
