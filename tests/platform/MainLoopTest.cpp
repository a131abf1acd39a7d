#include "MainLoop.h"
#include "DelayedPerform.h"
#include "IdleNotificationQueue.h"
#include "NotificationCenter.h"
#include "QuitSignals.h"
#include "SleepMonitor.h"
#include "Threads.h"
#include "Timer.h"

#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <thread>
#include <unistd.h>
#include <vector>

namespace flowtally {
namespace {

// Runs the main loop in short slices until the condition holds or a generous
// bound has passed; answers whether it holds.
bool waitUntil(const std::function<bool()> &condition) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!condition() && !elapsed.hasExpired(10000))
        runMainLoopFor(0.005);
    return condition();
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
    ASSERT_TRUE(waitUntil([&] { return fired == 2; }));
    ASSERT_FALSE(watched.expired());
    // The one after comes a whole interval later.
    EXPECT_GT(QDateTime::currentDateTimeUtc().secsTo(watched.lock()->fireDate()), 30);
    watched.lock()->setFireDate(QDateTime::currentDateTimeUtc().addSecs(-5));
    EXPECT_TRUE(waitUntil([&] { return watched.expired(); }));
    EXPECT_EQ(fired, 3);
}

// The work cycle's shape: the worker waits once for the main thread, which
// meanwhile waits for the worker by running its loop in slices.
TEST(MainThread, WorkerWaitsForItsActionWhileTheMainThreadRunsTheLoopInSlices) {
    std::atomic<bool> working = true, ranOnMainThread = false, ranBeforeReturn = false;
    detachThread([&] {
        performOnMainThread([&] { ranOnMainThread = isMainThread(); }, true);
        ranBeforeReturn = bool(ranOnMainThread);
        working = false;
    });
    for (int slices = 0; working && slices < 200; ++slices)
        runMainLoopFor(0.05);
    EXPECT_TRUE(ranBeforeReturn);
}

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
    ASSERT_TRUE(waitUntil([&] { return order.size() == 4; }));
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
    ASSERT_TRUE(waitUntil([&] { return !received.empty(); }));
    EXPECT_EQ(received, std::vector<int>{SIGTERM});
}

const SleepMonitor::Service fakeService{"org.flowtally.FakeLogin", "/org/freedesktop/login1",
                                        "org.freedesktop.login1.Manager"};

// A stand-in for logind: grants delay locks as the write ends of pipes.
class FakeLogind : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

  public:
    ~FakeLogind() override { ::close(lockReadEnd_); }
    // Whether the newest lock's holder still has it open.
    bool lockHeld() const {
        char byte;
        return lockReadEnd_ >= 0 && ::read(lockReadEnd_, &byte, 1) < 0 && errno == EAGAIN;
    }

  public slots:
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &, const QString &,
                                    const QString &mode) {
        int ends[2];
        if (what != "sleep" || mode != "delay" || ::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
            return {};
        ::close(lockReadEnd_);
        lockReadEnd_ = ends[0];
        QDBusUnixFileDescriptor lock(ends[1]);
        ::close(ends[1]);
        return lock;
    }

  private:
    int lockReadEnd_ = -1;
};

// The lock is held while the willSleep handlers run (they run the loop) and
// let go after them; a new one is taken on waking. Connections are named
// after the bus, which is new every time.
TEST(SleepMonitor, HoldsADelayLockUntilTheWillSleepHandlersHaveRun) {
    QProcess daemon;
    daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    ASSERT_TRUE(daemon.waitForReadyRead(10000));
    const QString address = QString::fromUtf8(daemon.readLine().trimmed());
    FakeLogind logind;
    QDBusConnection logindBus = QDBusConnection::connectToBus(address, address);
    ASSERT_TRUE(
        logindBus.registerObject(fakeService.path, &logind, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(logindBus.registerService(fakeService.name));
    SleepMonitor monitor(QDBusConnection::connectToBus(address, address + "-flowtally"),
                         fakeService);
    ASSERT_TRUE(waitUntil([&] { return monitor.holdsLock() && logind.lockHeld(); }));
    std::vector<QString> order;
    QObject::connect(&monitor, &SleepMonitor::willSleep, [&] {
        runMainLoopFor(0.05);
        order.push_back(logind.lockHeld() ? "will sleep, lock held" : "lock gone");
    });
    QObject::connect(&monitor, &SleepMonitor::didWake, [&] { order.push_back("did wake"); });
    for (bool start : {true, false}) {
        logindBus.send(
            QDBusMessage::createSignal(fakeService.path, fakeService.interface, "PrepareForSleep")
            << start);
        EXPECT_TRUE(waitUntil([&] { return logind.lockHeld() != start; })) << start;
    }
    EXPECT_EQ(order, (std::vector<QString>{"will sleep, lock held", "did wake"}));
} // the daemon is killed and waited for as it goes

TEST(SleepMonitor, WithoutABusItStaysSilentAndSaysSoOnce) {
    TestEnvironment environment;
    SleepMonitor monitor(QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "no-bus"),
                         SleepMonitor::Service());
    EXPECT_FALSE(monitor.isWatching());
    EXPECT_EQ(environment.logLinesContaining("sleep and wake"), environment.logLines());
    EXPECT_EQ(environment.logLines().size(), 1);
}

} // namespace
} // namespace flowtally

#include "MainLoopTest.moc"
