#include "SleepMonitor.h"
#include "LogCapture.h"
#include "WaitUntil.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

const SleepMonitor::Service fakeService{QStringLiteral("org.flowtally.FakeLogin"),
                                        QStringLiteral("/org/freedesktop/login1"),
                                        QStringLiteral("org.freedesktop.login1.Manager")};

// A stand-in for logind: grants delay locks as the write ends of pipes and
// can tell whether the newest lock is still held.
class FakeLogind : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

  public:
    ~FakeLogind() override {
        if (lockReadEnd_ >= 0)
            ::close(lockReadEnd_);
    }

    std::vector<QStringList> inhibitCalls;

    // Whether the newest lock's holder still has it open.
    bool lockHeld() const {
        char byte;
        return lockReadEnd_ >= 0 && ::read(lockReadEnd_, &byte, 1) < 0 && errno == EAGAIN;
    }

  public slots:
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &who, const QString &why,
                                    const QString &mode) {
        inhibitCalls.push_back({what, who, why, mode});
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
            return {};
        if (lockReadEnd_ >= 0)
            ::close(lockReadEnd_);
        lockReadEnd_ = ends[0];
        QDBusUnixFileDescriptor lock(ends[1]);
        ::close(ends[1]);
        return lock;
    }

  private:
    int lockReadEnd_ = -1;
};

// A private message bus with the fake logind on a connection of its own.
class SleepMonitorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--session"), QStringLiteral("--nofork"),
                       QStringLiteral("--print-address=1")});
        ASSERT_TRUE(daemon_.waitForStarted(10000));
        ASSERT_TRUE(daemon_.waitForReadyRead(10000));
        address_ = QString::fromUtf8(daemon_.readLine().trimmed());
        QDBusConnection logindBus =
            QDBusConnection::connectToBus(address_, QStringLiteral("fake-logind"));
        ASSERT_TRUE(logindBus.isConnected());
        ASSERT_TRUE(
            logindBus.registerObject(fakeService.path, &logind_, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(logindBus.registerService(fakeService.name));
    }

    void TearDown() override {
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-logind"));
        QDBusConnection::disconnectFromBus(QStringLiteral("flowtally"));
        daemon_.kill();
        daemon_.waitForFinished(10000);
    }

    QDBusConnection flowtallyBus() {
        return QDBusConnection::connectToBus(address_, QStringLiteral("flowtally"));
    }

    void sendPrepareForSleep(bool start) {
        QDBusMessage signal = QDBusMessage::createSignal(fakeService.path, fakeService.interface,
                                                         QStringLiteral("PrepareForSleep"));
        signal << start;
        QDBusConnection(QStringLiteral("fake-logind")).send(signal);
    }

    QProcess daemon_;
    QString address_;
    FakeLogind logind_;
};

} // namespace

TEST_F(SleepMonitorTest, HoldsADelayLockUntilTheWillSleepHandlersHaveRunAndTakesANewOneOnWake) {
    SleepMonitor monitor(flowtallyBus(), fakeService);
    ASSERT_TRUE(monitor.isWatching());
    ASSERT_TRUE(waitUntil([&] { return monitor.holdsLock() && logind_.lockHeld(); }));
    ASSERT_EQ(logind_.inhibitCalls.size(), 1u);
    EXPECT_EQ(logind_.inhibitCalls[0][0], "sleep");
    EXPECT_EQ(logind_.inhibitCalls[0][1], "Flowtally");
    EXPECT_EQ(logind_.inhibitCalls[0][3], "delay");

    std::vector<QString> order;
    QObject::connect(&monitor, &SleepMonitor::willSleep, [&] {
        // The worker is waited for here, with the loop running.
        runMainLoopFor(0.05);
        order.push_back(logind_.lockHeld() ? "will sleep, lock held" : "will sleep, lock gone");
    });
    QObject::connect(&monitor, &SleepMonitor::didWake, [&] { order.push_back("did wake"); });

    sendPrepareForSleep(true);
    ASSERT_TRUE(waitUntil([&] { return !logind_.lockHeld(); }));
    EXPECT_EQ(order, std::vector<QString>{"will sleep, lock held"});
    EXPECT_FALSE(monitor.holdsLock());

    sendPrepareForSleep(false);
    ASSERT_TRUE(waitUntil([&] { return logind_.lockHeld(); }));
    EXPECT_EQ(order, (std::vector<QString>{"will sleep, lock held", "did wake"}));
    EXPECT_EQ(logind_.inhibitCalls.size(), 2u);
}

TEST_F(SleepMonitorTest, WithoutLogindItStaysSilentAndSaysSoOnce) {
    LogCapture log;
    SleepMonitor monitor(flowtallyBus(), {QStringLiteral("org.flowtally.Nobody"), fakeService.path,
                                          fakeService.interface});
    EXPECT_FALSE(monitor.isWatching());
    EXPECT_EQ(log.linesContaining("sleep and wake").size(), 1);
    EXPECT_EQ(log.lines().size(), 1);
}

TEST(SleepMonitor, WithoutABusItStaysSilentAndSaysSoOnce) {
    LogCapture log;
    const QDBusConnection noBus = QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("no-bus"));
    SleepMonitor monitor(noBus, SleepMonitor::Service());
    EXPECT_FALSE(monitor.isWatching());
    EXPECT_EQ(log.linesContaining("sleep and wake").size(), 1);
    EXPECT_EQ(log.lines().size(), 1);
    QDBusConnection::disconnectFromBus(QStringLiteral("no-bus"));
}

#include "SleepMonitorTest.moc"
