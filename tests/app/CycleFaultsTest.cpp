// The running work cycle under what the world does to it: a wall clock that
// jumps back and forth, sleep and wake, and a change of network, each while
// a sample is being taken. Metering goes on and every byte the counters
// moved is counted once.
#include "ControllerFixture.h"

#include "LoopWaits.h"
#include "ToolPaths.h"
#include "UserDefaults.h"

#include <QTimer>

#include <atomic>

namespace flowtally {

namespace {

class CycleFaults : public ControllerFixture {
  protected:
    void SetUp() override {
        ControllerFixture::SetUp();
        reply("arp", QString("host (127.0.0.78) -- no entry\n"));
        setNetstatCounters(5000, 6000);
        environment.setClock(
            [this] { return QDateTime::currentDateTimeUtc().addMSecs(clockOffset); });
    }

    // From now on netstat waits (10 s at most) until release() before it
    // answers; answers whether a run of it is waiting now.
    bool holdNetstat() {
        kept = environment.toolPath(kNetstatTool);
        environment.setToolPath(kNetstatTool, tools.write("held-netstat", QString(R"sh(cd '%1'
echo > started
for slice in $(seq 200); do [ -f released ] && break; sleep 0.05; done
cat netstat)sh")
                                                                              .arg(tools.path())));
        return runLoopUntil([&] { return QFile::exists(tools.filePath("started")); });
    }
    void release() {
        QFile(tools.filePath("released")).open(QIODevice::WriteOnly);
        environment.setToolPath(kNetstatTool, kept);
    }

    quint64 storedTotalIn(const QString &service) {
        return UserDefaults::standardUserDefaults()
            .objectForKey(service)
            .toMap()
            .value("totalInBytes")
            .toULongLong();
    }

    QString kept;
    // How far the wall clock is off.
    std::atomic<qint64> clockOffset = 0;
};

// The bytes a sample finds after a jump count once, whichever way the clock
// went; a sample that seems to come before the one before it counts at the
// next tick. The log is not filled with it.
TEST_F(CycleFaults, ClockJumpsLoseNoByteAndCountNoneTwice) {
    ASSERT_TRUE(startMetering(5000));
    environment.clearLog();
    // clang-format off
    const struct { const char *jump; qint64 by; } jumps[] = {
        {"back an hour", -3'600'000}, {"forward a day", 86'400'000},
        {"back a year, before the reset date", -400LL * 86'400'000}, {"forward again", 400LL * 86'400'000},
        {"back a second", -1'000},
    };
    // clang-format on
    quint64 in = 5000, out = 6000;
    for (const auto &j : jumps) {
        SCOPED_TRACE(j.jump);
        const quint64 totalIn = controller->totalInBytes(), totalOut = controller->totalOutBytes();
        clockOffset += j.by;
        in += 3'000'017;
        out += 11;
        setNetstatCounters(in, out);
        ASSERT_TRUE(runLoopUntil([&] { return controller->prevInVal() == in; }))
            << "metering stopped";
        EXPECT_EQ(controller->totalInBytes(), totalIn + 3'000'017);
        EXPECT_EQ(controller->totalOutBytes(), totalOut + 11);
        // Before the reset date there is no projection: a dash, not less than nothing.
        EXPECT_FALSE(controller->gbpm() < 0) << controller->gbpm();
    }
    EXPECT_LE(environment.logLines().size(), 1) << environment.logLines().join('\n').toStdString();
    EXPECT_TRUE(controller->isLogging());
}

// A sleep that comes while netstat runs waits for the sample, stores what
// was counted, and takes no sample until after the wake; the bytes moved
// meanwhile count at the first sample after it.
TEST_F(CycleFaults, SleepDuringASampleWaitsForItAndWakeCountsTheRest) {
    ASSERT_TRUE(startMetering(5000));
    setNetstatCounters(6000, 6500);
    ASSERT_TRUE(holdNetstat());
    QTimer::singleShot(200, [&] { release(); });
    controller->willSleep();
    EXPECT_FALSE(controller->isWorking());
    EXPECT_TRUE(UserDefaults::standardUserDefaults().isWritten()) << "not stored before sleep";
    // What the sample found is counted, now or after the wake.
    runLoopUntil([&] { return controller->prevInVal() == 6000; }, 2);
    const quint64 countedBeforeSleep = controller->totalInBytes();
    EXPECT_EQ(storedTotalIn(kService), countedBeforeSleep);
    runs();
    setNetstatCounters(9000, 7000);
    controller->didWake();
    ASSERT_TRUE(runLoopUntil([&] { return controller->prevInVal() == 9000; }))
        << "metering did not resume after the wake";
    EXPECT_EQ(controller->totalInBytes(), 4000u);
    EXPECT_EQ(controller->totalOutBytes(), 1000u);
    EXPECT_TRUE(controller->isLogging());
}

// The network changes while netstat runs: the sample belongs to neither
// network for sure and is not counted for the one that was left; the new
// network counts on from the last reading, so the two records together
// hold every byte once.
TEST_F(CycleFaults, ServiceChangeDuringASampleSplitsTheBytesWithoutLossOrDouble) {
    ASSERT_TRUE(startMetering(5000));
    setNetstatCounters(6000, 6600);
    ASSERT_TRUE(holdNetstat());
    useNetwork(kOffice);
    release();
    setNetstatCounters(8000, 7000);
    ASSERT_TRUE(runLoopUntil([&] {
        return controller->primaryService() == kOtherService && controller->prevInVal() == 8000;
    })) << "the new network was not metered";
    controller->doWriteToDisk();
    EXPECT_EQ(storedTotalIn(kService) + storedTotalIn(kOtherService), 3000u);
    EXPECT_EQ(UserDefaults::standardUserDefaults()
                      .objectForKey(kService)
                      .toMap()
                      .value("totalOutBytes")
                      .toULongLong() +
                  controller->totalOutBytes(),
              1000u);
    EXPECT_EQ(storedTotalIn(kOtherService), controller->totalInBytes());
    EXPECT_TRUE(controller->isLogging());
}

} // namespace

} // namespace flowtally
