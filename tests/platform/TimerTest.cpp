#include "Timer.h"

#include "LoopWaits.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <memory>

namespace flowtally {

namespace {

// A scheduled timer keeps itself alive until it is invalidated, here from
// inside its own action.
TEST(Timer, FiresByHandOrAtAMovedDateUntilItsActionInvalidatesIt) {
    int fired = 0;
    std::weak_ptr<Timer> watched;
    const auto action = [&] {
        if (++fired == 3)
            watched.lock()->invalidate();
    };
    auto timer = Timer::scheduledTimer(60, action, true);
    watched = timer;
    const QDateTime next = timer->fireDate();
    timer->fire();
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(timer->fireDate(), next);
    timer->setFireDateFromNow(0.01);
    timer.reset();
    ASSERT_TRUE(runLoopUntil([&] { return fired == 2; }));
    ASSERT_FALSE(watched.expired());
    // The one after comes a whole interval later.
    EXPECT_GT(QDateTime::currentDateTimeUtc().secsTo(watched.lock()->fireDate()), 30);
    watched.lock()->setFireDate(QDateTime::currentDateTimeUtc().addSecs(-5));
    EXPECT_TRUE(runLoopUntil([&] { return watched.expired(); }));
    EXPECT_EQ(fired, 3);
}

} // namespace

} // namespace flowtally
