#include "MainLoop.h"

#include "DelayedPerform.h"
#include "Threads.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <vector>

namespace flowtally {

namespace {

// Nested runs deliver queued actions and timers, also once the application
// has been asked to quit.
TEST(MainLoop, NestedRunsDeliverQueuedActionsAndTimersAlsoAfterQuit) {
    std::vector<QString> order;
    QObject target;
    QTimer::singleShot(0, [&] {
        QCoreApplication::quit();
        order.push_back("outer");
        performAfterDelay(&target, 0.01, [&] {
            order.push_back("delayed");
            runMainLoopFor(0.05);
            order.push_back("delayed done");
        });
        performOnMainThread([&] { order.push_back("queued"); }, false);
        runMainLoopFor(0.3);
        order.push_back("outer done");
    });
    QCoreApplication::exec(); // bounded: quit() ends it once the handler has returned
    EXPECT_EQ(order,
              (std::vector<QString>{"outer", "queued", "delayed", "delayed done", "outer done"}));
}

} // namespace

} // namespace flowtally
