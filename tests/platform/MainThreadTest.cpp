#include "MainThread.h"
#include "DelayedPerform.h"
#include "DetachedThread.h"
#include "WaitUntil.h"

#include <QCoreApplication>
#include <QObject>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

TEST(MainThread, WorkerWaitsForItsActionWhileTheMainThreadRunsTheLoopInSlices) {
    // The work cycle's shape: the worker waits once for the main thread,
    // which meanwhile waits for the worker by running its loop.
    std::atomic<bool> working = true;
    std::atomic<bool> ranOnMainThread = false;
    std::atomic<bool> seenByWorkerAfterReturn = false;
    bool workerIsMain = true;
    detachThread([&] {
        workerIsMain = isMainThread();
        bool done = false;
        performOnMainThread(
            [&] {
                ranOnMainThread = isMainThread();
                done = true;
            },
            true);
        seenByWorkerAfterReturn = done;
        working = false;
    });
    for (int slices = 0; working && slices < 200; ++slices)
        runMainLoopFor(0.05);
    ASSERT_FALSE(working);
    EXPECT_FALSE(workerIsMain);
    EXPECT_TRUE(ranOnMainThread);
    EXPECT_TRUE(seenByWorkerAfterReturn);
}

TEST(MainThread, QueuedActionsRunLaterInOrderAndWaitingOnTheMainThreadRunsAtOnce) {
    EXPECT_TRUE(isMainThread());
    std::vector<int> order;
    performOnMainThread([&] { order.push_back(1); }, false);
    std::thread worker([&] { performOnMainThread([&] { order.push_back(2); }, false); });
    worker.join();
    performOnMainThread([&] { order.push_back(0); }, true);
    EXPECT_EQ(order, std::vector<int>{0});
    EXPECT_TRUE(waitUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST(MainThread, QueuedActionKeepsWhatItCapturesAliveUntilItHasRun) {
    std::weak_ptr<int> watched;
    int seen = 0;
    {
        auto value = std::make_shared<int>(42);
        watched = value;
        performOnMainThread([value, &seen] { seen = *value; }, false);
    }
    EXPECT_FALSE(watched.expired());
    ASSERT_TRUE(waitUntil([&] { return seen == 42; }));
    EXPECT_TRUE(watched.expired());
}

TEST(DelayedPerform, RunsUnlessItsTargetCancelsOrGoesAway) {
    QObject kept;
    QObject cancelling;
    auto destroyed = std::make_unique<QObject>();
    std::vector<QString> ran;
    performAfterDelay(&cancelling, 0.01, [&] { ran.push_back("cancelled"); });
    performAfterDelay(&kept, 0.01, [&] { ran.push_back("kept"); });
    performAfterDelay(destroyed.get(), 0.01, [&] { ran.push_back("destroyed"); });
    performAfterDelay(&kept, 0, [&] { ran.push_back("at once"); });
    EXPECT_TRUE(ran.empty());
    cancelPerforms(&cancelling);
    destroyed.reset();
    ASSERT_TRUE(waitUntil([&] { return ran.size() == 2; }));
    runMainLoopFor(0.05);
    EXPECT_EQ(ran, (std::vector<QString>{"at once", "kept"}));
}

TEST(DelayedPerform, CancellingLeavesTheTargetsOtherChildrenAlone) {
    QObject target;
    auto *child = new QObject(&target);
    bool ran = false;
    performAfterDelay(&target, 0, [&] { ran = true; });
    cancelPerforms(&target);
    runMainLoopFor(0.05);
    EXPECT_FALSE(ran);
    EXPECT_EQ(target.children(), QObjectList{child});
}

TEST(MainLoop, DeliversQueuedActionsAndTimersFromInsideHandlersAndNestedRuns) {
    std::vector<QString> order;
    QObject target;
    performOnMainThread(
        [&] {
            order.push_back("outer");
            performAfterDelay(&target, 0.01, [&] {
                order.push_back("delayed");
                runMainLoopFor(0.05);
                order.push_back("delayed done");
            });
            performOnMainThread([&] { order.push_back("queued"); }, false);
            runMainLoopFor(0.3);
            order.push_back("outer done");
        },
        false);
    ASSERT_TRUE(waitUntil([&] { return !order.empty() && order.back() == "outer done"; }));
    EXPECT_EQ(order,
              (std::vector<QString>{"outer", "queued", "delayed", "delayed done", "outer done"}));
}

TEST(MainLoop, KeepsDeliveringOnceTheApplicationHasBeenAskedToQuit) {
    bool delivered = false;
    QTimer::singleShot(0, [&] {
        QCoreApplication::quit();
        performOnMainThread([&] { delivered = true; }, false);
        runMainLoopFor(0.05);
    });
    // Bounded: quit() ends it once the handler above has returned.
    QCoreApplication::exec();
    EXPECT_TRUE(delivered);
}
