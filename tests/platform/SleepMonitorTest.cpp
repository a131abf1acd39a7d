#include "platform/system/SleepMonitor.h"

#include "tests/support/LoopWaits.h"
#include "platform/loop/MainLoop.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace flowtally {
namespace {

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
        if (what != "sleep:shutdown" || mode != "delay" ||
            ::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
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

// The lock is held while the willSleep and willShutDown handlers run (they
// run the loop) and let go after them; a new one is taken on waking or when
// a shutdown is called off.
TEST(SleepMonitor, HoldsADelayLockUntilTheHandlersHaveRun) {
    PrivateBus bus;
    ASSERT_TRUE(bus.isRunning());
    FakeLogind logind;
    QDBusConnection logindBus = bus.connection("logind");
    ASSERT_TRUE(
        logindBus.registerObject(fakeService.path, &logind, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(logindBus.registerService(fakeService.name));
    SleepMonitor monitor(bus.connection("flowtally"), fakeService);
    ASSERT_TRUE(runLoopUntil([&] { return monitor.holdsLock() && logind.lockHeld(); }));
    std::vector<QString> order;
    QObject::connect(&monitor, &SleepMonitor::willSleep, [&] {
        runMainLoopFor(0.05);
        order.push_back(logind.lockHeld() ? "will sleep, lock held" : "lock gone");
    });
    QObject::connect(&monitor, &SleepMonitor::didWake, [&] { order.push_back("did wake"); });
    QObject::connect(&monitor, &SleepMonitor::willShutDown, [&] {
        runMainLoopFor(0.05);
        order.push_back(logind.lockHeld() ? "will shut down, lock held" : "lock gone");
    });
    for (const char *signal : {"PrepareForSleep", "PrepareForShutdown"}) {
        for (bool start : {true, false}) {
            logindBus.send(
                QDBusMessage::createSignal(fakeService.path, fakeService.interface, signal)
                << start);
            EXPECT_TRUE(runLoopUntil([&] { return logind.lockHeld() != start; }))
                << signal << start;
        }
    }
    EXPECT_EQ(order, (std::vector<QString>{"will sleep, lock held", "did wake",
                                           "will shut down, lock held"}));
} // the daemon is ended as it goes

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

#include "SleepMonitorTest.moc"
