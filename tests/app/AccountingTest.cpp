// The bar of the limit used, as an accepted sample shows it against the limit
// a person typed. (The figures themselves, the thirty-day projection and the
// period's start: MeterTest.)
#include "ControllerFixture.h"

#include "LevelIndicator.h"

#include <cmath>

namespace flowtally {

namespace {

constexpr quint64 kGiB = quint64(1) << 30;

using Accounting = ControllerFixture;

TEST_F(Accounting, LevelOfTheLimitUsed) {
    // 2.5G counted against a limit of 5G: half; a limit of 0 is none, with
    // nothing to measure against.
    setLimit(5, kGiB);
    controller->loadPersistentValuesFromDict({{"totalInBytes", 2 * kGiB},
                                              {"totalOutBytes", kGiB / 2 - 1000},
                                              {"prevInVal", quint64(1000)},
                                              {"prevOutVal", quint64(1000)}});
    controller->processStatsDict(sample('L', 1000, 1000, 0));
    controller->processStatsDict(sample('L', 1000, 2000, 2));
    const auto *level = outlet<LevelIndicator>("levelIndicator");
    EXPECT_NEAR(level->doubleValue(), 50.0, 1e-6);

    setLimit(0, kGiB);
    controller->processStatsDict(sample('L', 1000, 3000, 4));
    EXPECT_TRUE(std::isnan(level->doubleValue()));
}

} // namespace

} // namespace flowtally
