// What an accepted sample shows: the level of the limit used, and the
// thirty-day projection.
#include "ControllerFixture.h"

#include "DistantPast.h"
#include "LevelIndicator.h"

#include <cmath>

namespace flowtally {

namespace {

constexpr quint64 k2to32 = quint64(1) << 32, kGiB = quint64(1) << 30;

using Accounting = ControllerFixture;

TEST_F(Accounting, LimitLevelAndThirtyDayProjection) {
    // Ten days into the period with 2.5G counted, against a limit of 5G; then
    // a limit of 0 with the period starting at the first accepted sample.
    setLimit(5, kGiB);
    controller->loadPersistentValuesFromDict({{"resetDate", base.addDays(-10)},
                                              {"totalInBytes", 2 * kGiB},
                                              {"totalOutBytes", kGiB / 2 - 1000},
                                              {"prevInVal", quint64(1000)},
                                              {"prevOutVal", quint64(1000)}});
    controller->processStatsDict(sample('L', 1000, 1000, 0));
    controller->processStatsDict(sample('L', 1000, 2000, 2));
    EXPECT_NEAR(outlet<LevelIndicator>("levelIndicator")->doubleValue(), 50.0, 1e-6);
    EXPECT_NEAR(controller->gbpm(), 7.5 * kGiB, 7.5 * kGiB * 1e-6) << "ten days: three times";

    setLimit(0, kGiB);
    controller->loadPersistentValuesFromDict({{"resetDate", distantPast()}});
    controller->processStatsDict(sample('L', 1000, 3000, 4));
    EXPECT_GT(controller->resetDate(), QDateTime::currentDateTimeUtc().addSecs(-60));
    EXPECT_TRUE(std::isinf(outlet<LevelIndicator>("levelIndicator")->doubleValue()));
}

} // namespace

} // namespace flowtally
