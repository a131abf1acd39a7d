#include "Timer.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

TEST(Timer, RepeatsUntilInvalidatedFromItsOwnActionEvenWhenNobodyHoldsIt) {
    int fired = 0;
    std::weak_ptr<Timer> watched;
    {
        std::shared_ptr<Timer> timer = Timer::scheduledTimer(
            0.01,
            [&] {
                if (++fired == 3)
                    watched.lock()->invalidate();
            },
            true);
        watched = timer;
    }
    ASSERT_TRUE(waitUntil([&] { return fired == 3; }));
    runMainLoopFor(0.1);
    EXPECT_EQ(fired, 3);
    EXPECT_TRUE(waitUntil([&] { return watched.expired(); }));
}

TEST(Timer, FireRunsTheActionNowAndKeepsTheSchedule) {
    int fired = 0;
    auto timer = Timer::scheduledTimer(
        60, [&] { ++fired; }, true);
    const QDateTime next = timer->fireDate();
    timer->fire();
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(timer->fireDate(), next);
    EXPECT_TRUE(timer->isValid());
    timer->invalidate();
    timer->fire();
    EXPECT_EQ(fired, 1);
}

TEST(Timer, OneShotTimerFiresOnceAndIsThenInvalid) {
    int fired = 0;
    auto timer = Timer::scheduledTimer(
        0.01, [&] { ++fired; }, false);
    ASSERT_TRUE(waitUntil([&] { return !timer->isValid(); }));
    runMainLoopFor(0.05);
    EXPECT_EQ(fired, 1);

    auto firedByHand = Timer::scheduledTimer(
        60, [&] { ++fired; }, false);
    firedByHand->fire();
    EXPECT_FALSE(firedByHand->isValid());
    EXPECT_EQ(fired, 2);
}

TEST(Timer, MovedFireDateBringsTheNextFiringForwardThenTheIntervalResumes) {
    int fired = 0;
    auto timer = Timer::scheduledTimer(
        60, [&] { ++fired; }, true);
    timer->setFireDateFromNow(0.01);
    ASSERT_TRUE(waitUntil([&] { return fired == 1; }));
    EXPECT_TRUE(timer->isValid());
    // The one after comes a whole interval later.
    EXPECT_GT(QDateTime::currentDateTimeUtc().secsTo(timer->fireDate()), 30);

    timer->setFireDate(QDateTime::currentDateTimeUtc().addSecs(-5));
    EXPECT_TRUE(waitUntil([&] { return fired == 2; }));
    timer->invalidate();
}

TEST(Timer, ActionMayMoveItsOwnNextFiring) {
    // Sample processing moves the work timer's next firing from inside a tick.
    int fired = 0;
    std::shared_ptr<Timer> timer;
    timer = Timer::scheduledTimer(
        60,
        [&] {
            ++fired;
            timer->setFireDateFromNow(0.01);
        },
        true);
    timer->fire();
    EXPECT_TRUE(waitUntil([&] { return fired >= 3; }));
    timer->invalidate();
}
