// The main loop and what runs on it: nested runs, timers, idle
// notifications, quit signals, and the threads that hand work to it.
#include "platform/loop/MainLoop.h"
#include "platform/loop/IdleNotificationQueue.h"
#include "platform/loop/Threads.h"
#include "platform/loop/Timer.h"
#include "platform/system/QuitSignals.h"

#include "platform/loop/DelayedPerform.h"
#include "platform/loop/NotificationCenter.h"
#include "tests/support/LoopWaits.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <future>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include <unistd.h>

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

// Posts after the events already queued; of equal texts the latest is the
// one kept, so it shows last.
TEST(IdleNotificationQueue, PostsAfterQueuedEventsAndCoalescesEqualTexts) {
    NotificationCenter center;
    IdleNotificationQueue queue(center);
    QObject observer;
    std::vector<QString> order;
    center.addObserver(&observer, "InfoText",
                       [&](const QVariant &o) { order.push_back(o.toString()); });
    performOnMainThread([&] { order.push_back("queued before"); }, false);
    for (const char *text : {"No Error", "Timeout", "No Error"})
        queue.enqueue("InfoText", text);
    performOnMainThread([&] { order.push_back("queued after"); }, false);
    EXPECT_TRUE(order.empty());
    ASSERT_TRUE(runLoopUntil([&] { return order.size() == 4; }));
    runMainLoopFor(0.05);
    EXPECT_EQ(order,
              (std::vector<QString>{"queued before", "queued after", "Timeout", "No Error"}));
}

// Raised on another thread, handled on the main loop and not in the handler.
TEST(QuitSignals, ArriveOnTheMainThreadAndNotInTheHandler) {
    QuitSignals quitSignals;
    std::vector<int> received;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested,
                     [&](int signal) { received.push_back(isMainThread() ? signal : -signal); });
    std::thread([] { raise(SIGTERM); }).join();
    EXPECT_TRUE(received.empty());
    ASSERT_TRUE(runLoopUntil([&] { return !received.empty(); }));
    EXPECT_EQ(received, std::vector<int>{SIGTERM});
}

// The work cycle's shape: the worker waits once for the main thread, which
// meanwhile waits for the worker by running its loop in slices. An owner's
// queue drops what is left when it goes: nothing runs after its owner is
// gone. (Actions run in their order: IdleNotificationQueue's test.)
TEST(MainThread, WorkerWaitsForItsActionAndAQueueDropsWhatIsLeftWithIt) {
    std::atomic<bool> working = true, ranOnMainThread = false, ranBeforeReturn = false;
    detachThread([&] {
        performOnMainThread([&] { ranOnMainThread = isMainThread(); }, true);
        ranBeforeReturn = bool(ranOnMainThread);
        working = false;
    });
    for (int slices = 0; working && slices < 200; ++slices)
        runMainLoopFor(0.05);
    EXPECT_TRUE(ranBeforeReturn);

    bool ran = false;
    auto queue = std::make_unique<MainThreadQueue>();
    std::thread([&] { queue->perform([&ran] { ran = true; }, false); }).join();
    queue.reset();
    runMainLoopFor(0.1);
    EXPECT_FALSE(ran) << "an action ran after its queue was gone";
}

// Threads are told apart by the kernel's number (gettid): never the same for
// two threads alive within a test, unlike a thread's std::thread::id.
TEST(DetachedThreads, BodiesRunSideBySideAndIdleThreadsServeTheNextBodies) {
    using namespace std::chrono_literals;
    // A body that waits holds up no other: the second, handed over while
    // the first waits, releases it.
    std::promise<void> waits, released;
    std::promise<pid_t> first, second;
    detachThread([&, waiting = released.get_future().share()] {
        waits.set_value();
        first.set_value(waiting.wait_for(10s) == std::future_status::ready ? gettid() : 0);
    });
    ASSERT_EQ(waits.get_future().wait_for(10s), std::future_status::ready);
    detachThread([&] {
        second.set_value(gettid());
        released.set_value();
    });
    std::set<pid_t> started;
    for (std::promise<pid_t> *ran : {&first, &second}) {
        auto number = ran->get_future();
        ASSERT_EQ(number.wait_for(20s), std::future_status::ready);
        started.insert(number.get());
    }
    ASSERT_FALSE(started.contains(0)) << "the first body was not released";
    ASSERT_EQ(started.size(), 2u);

    // Bodies one after another, each once the last has ended and its thread
    // idles, run on the threads already started.
    for (int body = 0; body < 4; ++body) {
        std::this_thread::sleep_for(100ms); // the threads go back to wait
        std::promise<pid_t> ran;
        detachThread([&] { ran.set_value(gettid()); });
        auto number = ran.get_future();
        ASSERT_EQ(number.wait_for(10s), std::future_status::ready);
        EXPECT_TRUE(started.contains(number.get())) << "body " << body;
    }

    // Told to, the idle threads end at once rather than after their idle time.
    std::this_thread::sleep_for(100ms); // the last body's thread goes back to wait
    endIdleThreads();
    for (const pid_t thread : started) {
        const QString task = QStringLiteral("/proc/self/task/%1").arg(thread);
        for (int wait = 0; wait < 500 && QFileInfo::exists(task); ++wait)
            std::this_thread::sleep_for(10ms);
        EXPECT_FALSE(QFileInfo::exists(task)) << "thread " << thread;
    }
}

} // namespace

} // namespace flowtally
