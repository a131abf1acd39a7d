// What the badge says: the projection and the used bytes of what the plan
// holds against the limit (bytes of free hours left out), the days left in
// the cycle, and "No limit" for a limit of 0.
#include "app/BadgeText.h"

#include "tests/support/TextPrinting.h"

#include <gtest/gtest.h>

namespace flowtally {

namespace {

constexpr double kG = 1024.0 * 1024.0 * 1024.0;

TEST(BadgeText, TheBilledBytesAgainstTheLimit) {
    // clang-format off
    const struct {
        double total, billed, projection, limit; std::optional<int> daysLeft;
        const char *label, *detail;
    } cases[] = {
        {0.52 * kG, 0.52 * kG, 32 * kG, 1 * kG, 28, "32G", "0.52G of 1.00G used \u00b7 28 days left"},
        // A quarter of it counted outside the free hours.
        {2.4 * kG, 0.6 * kG, 60 * kG, 1 * kG, std::nullopt, "15G", "0.60G of 1.00G used"},
        {0.52 * kG, 0.52 * kG, 32 * kG, 0, 28, "32G", "0.52G used \u00b7 No limit \u00b7 28 days left"},
        {0.52 * kG, 0.52 * kG, 32 * kG, qInf(), std::nullopt, "32G", "0.52G used \u00b7 No limit"},
    };
    // clang-format on
    for (const auto &c : cases) {
        Meter::Figures figures;
        figures.total = quint64(c.total);
        figures.billed = quint64(c.billed);
        figures.projection = c.projection;
        figures.limit = c.limit;
        const BadgeText text = badgeText(figures, c.daysLeft);
        EXPECT_EQ(text.label, QString::fromUtf8(c.label)) << c.detail;
        EXPECT_EQ(text.detail, QString::fromUtf8(c.detail));
    }
}

} // namespace

} // namespace flowtally
