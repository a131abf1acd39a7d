// The work cycle driven for real (timers, one worker per tick, the status
// line, stopping for the preferences, restarting and quitting), and what
// the world does to it while it meters: a wall clock that jumps, sleep and
// wake or a change of network amid a sample, a netstat that misbehaves, the
// settings file deleted or damaged behind its back. Metering goes on, a
// fault is told once, and every byte the counters moved is counted once.
#include "tests/support/controller/ControllerFixture.h"

#include "platform/loop/MainLoop.h"
#include "platform/system/PropertyList.h"
#include "platform/system/ToolPaths.h"
#include "platform/system/UserDefaults.h"
#include "tests/support/LoopWaits.h"
#include "tests/support/NetworkScene.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <atomic>
#include <functional>

namespace flowtally {

namespace {

class WorkCycle : public ControllerFixture {
  protected:
    void SetUp() override {
        ControllerFixture::SetUp();
        setNetstatCounters(5000, 6000);
        reply("arp", QString("host (127.0.0.78) -- no entry\n"));
        environment.setClock(
            [this] { return QDateTime::currentDateTimeUtc().addMSecs(clockOffset); });
    }

    QString statusLine() { return outlet<QLabel>("infoText")->text(); }
    static QVariantMap stored(const QString &service) {
        return UserDefaults::standardUserDefaults().objectForKey(service).toMap();
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

    // Runs netstat as this script until it has run `ticks` times, then puts
    // the fixture's netstat back. A tool that hangs is given up after 300 ms
    // when `hang` is set; else (megabytes through a pipe on a busy machine)
    // it gets all the time it needs (a minute at most: under a sanitizer on a
    // busy machine that takes seconds a run).
    bool runFaultyNetstat(const QString &body, int ticks, bool hang = false) {
        environment.setToolTimeout(hang ? std::chrono::milliseconds(300)
                                        : std::chrono::seconds(60));
        kept = environment.toolPath(kNetstatTool);
        const QString counted = tools.filePath("faulty-runs");
        QFile::remove(counted);
        environment.setToolPath(
            kNetstatTool,
            tools.write("faulty-netstat", QString("echo >> '%1'\n").arg(counted) + body));
        const bool ran = runLoopUntil([&] { return readFile(counted).count('\n') >= ticks; }, 60);
        environment.setToolPath(kNetstatTool, kept);
        return ran;
    }

    // Moves the counters on by a step, waits until the controller counted
    // it and has the file written; whether the file then holds its totals.
    bool countAndStore(quint64 &in, quint64 &out) {
        in += 70'001;
        out += 3;
        setNetstatCounters(in, out);
        if (!runLoopUntil([&] { return controller->prevInVal() == in; }))
            return false;
        controller->storeRecordNow();
        return runLoopUntil([&] {
            const QVariantMap record = dictionaryWithContentsOfFile(UserDefaults::standardPath())
                                           .value_or(QVariantMap())
                                           .value(kService)
                                           .toMap();
            return record.value("totalInBytes").toULongLong() == controller->totalInBytes() &&
                   record.value("totalOutBytes").toULongLong() == controller->totalOutBytes() &&
                   record.value("prevInVal").toULongLong() == in;
        });
    }

    QString kept;
    // How far the wall clock is off.
    std::atomic<qint64> clockOffset = 0;
};

// The bytes the counters moved while metering was stopped count once it
// restarts; once quitting, nothing ticks or starts again and late status
// texts are dropped.
TEST_F(WorkCycle, RestartCountsWhatMovedMeanwhileAndQuittingStopsForGood) {
    ASSERT_TRUE(startMetering(5000));
    EXPECT_EQ(outlet("airportIP")->text(), "127.0.0.78");
    ASSERT_TRUE(runLoopUntil([&] { return stored(kService).value("prevInVal") == 5000; }))
        << "the write timer did not store the record";
    setNetstatCounters(9000, 6100);
    ASSERT_TRUE(runLoopUntil([&] { return controller->totalInBytes() == 4000; }));
    controller->stopLogging();
    setNetstatCounters(11000, 6100);
    controller->doRestart();
    EXPECT_FALSE(outlet<QPushButton>("restartPB")->isEnabled());
    ASSERT_TRUE(runLoopUntil([&] { return controller->totalInBytes() == 6000; }));
    EXPECT_EQ(controller->totalOutBytes(), 100u);

    EXPECT_TRUE(controller->applicationShouldTerminate());
    EXPECT_FALSE(controller->isLogging());
    const QString shown = statusLine();
    AppDelegate::doSetInfoText("too late");
    runMainLoopFor(0.3);
    EXPECT_EQ(statusLine(), shown);
    controller->startLogging();
    EXPECT_FALSE(controller->isLogging()) << "nothing starts again once quitting";
}

TEST_F(WorkCycle, WithoutANetworkTicksGoOnQuietly) {
    useNetwork(std::nullopt);
    controller->setPrimaryService(std::nullopt);
    environment.clearLog();
    controller->startLogging();
    int quiet = 0;
    ASSERT_TRUE(
        runLoopUntil([&] { return (quiet += newTexts().count("No network connection.")) >= 3; }));
    // Only the start loads the defaults; the ticks after it find nothing new.
    EXPECT_EQ(environment.logLinesContaining("for undefined key: DisplayLimitGB").size(), 1);
    EXPECT_EQ(runs().find("netstat"), std::string::npos);
    EXPECT_TRUE(controller->isLogging());
}

// The bytes a sample finds after a jump count once, whichever way the clock
// went; a sample that seems to come before the one before it counts at the
// next tick. The log is not filled with it.
TEST_F(WorkCycle, ClockJumpsLoseNoByteAndCountNoneTwice) {
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
TEST_F(WorkCycle, SleepDuringASampleWaitsForItAndWakeCountsTheRest) {
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
    // The store of a sample that ends during the sleep is written by the
    // writer's thread, which a loaded machine may keep waiting.
    runLoopUntil(
        [&] { return stored(kService).value("totalInBytes").toULongLong() == countedBeforeSleep; });
    EXPECT_EQ(stored(kService).value("totalInBytes").toULongLong(), countedBeforeSleep);
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
TEST_F(WorkCycle, ServiceChangeDuringASampleSplitsTheBytesWithoutLossOrDouble) {
    ASSERT_TRUE(startMetering(5000));
    setNetstatCounters(6000, 6600);
    ASSERT_TRUE(holdNetstat());
    useNetwork(kOffice);
    release();
    setNetstatCounters(8000, 7000);
    // The record is written between ticks: on a loaded machine the next
    // tick may already be under way when the sample is in.
    ASSERT_TRUE(runLoopUntil([&] {
        return controller->primaryService() == kOtherService && controller->prevInVal() == 8000 &&
               !controller->isWorking();
    })) << "the new network was not metered";
    controller->doWriteToDisk();
    const QVariantMap left = stored(kService), entered = stored(kOtherService);
    EXPECT_EQ(left.value("totalInBytes").toULongLong() +
                  entered.value("totalInBytes").toULongLong(),
              3000u);
    EXPECT_EQ(left.value("totalOutBytes").toULongLong() + controller->totalOutBytes(), 1000u);
    EXPECT_EQ(entered.value("totalInBytes").toULongLong(), controller->totalInBytes());
    EXPECT_TRUE(controller->isLogging());
}

// A netstat that misbehaves for some ticks: the status line and the log
// tell it once, and the bytes the counters moved meanwhile count whole once
// the tool answers again. The same fault after a good sample, or after
// metering began again, is a new fault and told again.
TEST_F(WorkCycle, NetstatFaultIsToldOnceAndItsBytesCountOnceItEnds) {
    // clang-format off
    const struct { const char *fault, *body, *told; } cases[] = {
        {"crash", "ulimit -c 0; printf 'Name Mtu'; kill -SEGV $$", "Task ended badly. Status: 11"},
        {"the same crash again", "ulimit -c 0; printf 'Name Mtu'; kill -SEGV $$", "Task ended badly. Status: 11"},
        {"hang", "sleep 30", "Tool did not end within 300 ms"},
        {"hang holding the output", "sleep 30 & echo early", "Tool did not end within 300 ms"},
        {"garbage", R"(printf '\377\376\000garbage\n\001\002\n')", "Short line-count"},
        {"garbage lines", "printf 'garbage\\nmore garbage\\n'", "Result Format Error"},
        {"megabytes", "head -c 20000000 /dev/zero | tr '\\0' x", "Short line-count"},
        {"megabytes of lines", "yes 'x x x' | head -c 20000000", "Result Format Error"},
        {"output closed early", "printf 'Name Mtu'; exec >&-; sleep 0.2", "Short line-count"},
        {"failure", "echo 'netstat: no such interface' >&2; exit 1", "Task ended badly. Status: 1"},
    };
    // clang-format on
    quint64 in = 5000, out = 6000;
    ASSERT_TRUE(startMetering(in));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.fault);
        environment.clearLog();
        newTexts();
        const quint64 totalIn = controller->totalInBytes(), totalOut = controller->totalOutBytes();
        ASSERT_TRUE(runFaultyNetstat(c.body, 3, QByteArray(c.told).startsWith("Tool did not end")))
            << "metering stopped";
        EXPECT_EQ(controller->totalInBytes(), totalIn);
        EXPECT_TRUE(newTexts().contains("Netstat Error: see Console Log."));
        const QStringList told = environment.logLines();
        ASSERT_EQ(told.size(), 1) << told.join('\n').left(2000).toStdString();
        EXPECT_TRUE(told.first().contains(c.told)) << told.first().left(2000).toStdString();
        EXPECT_LT(told.first().size(), 1000) << "the log line holds the tool's megabytes";

        in += 1'000'003;
        out += 7;
        setNetstatCounters(in, out);
        // A faulty run may still be read: a minute, as for the faulty runs.
        ASSERT_TRUE(runLoopUntil([&] { return controller->prevInVal() == in; }, 60))
            << "metering did not resume";
        EXPECT_EQ(controller->totalInBytes(), totalIn + 1'000'003);
        EXPECT_EQ(controller->totalOutBytes(), totalOut + 7);
        EXPECT_TRUE(runLoopUntil([&] { return statusLine().endsWith("\nNo Error"); }, 60));
        EXPECT_EQ(environment.logLines(), told) << "the end of the fault was told again";
    }
    // Metering stopped amid a fault and begun again.
    ASSERT_TRUE(runFaultyNetstat("ulimit -c 0; kill -SEGV $$", 2));
    controller->stopLogging();
    environment.clearLog();
    controller->doRestart();
    ASSERT_TRUE(runFaultyNetstat("ulimit -c 0; kill -SEGV $$", 2));
    EXPECT_EQ(environment.logLinesContaining("Task ended badly").size(), 1);
    in += 100;
    setNetstatCounters(in, out);
    ASSERT_TRUE(runLoopUntil([&] { return controller->prevInVal() == in; }));
    EXPECT_EQ(controller->totalInBytes(), in - 5000);
    EXPECT_TRUE(controller->isLogging());
}

// What happens to the file behind Flowtally's back is mended by its next
// write, which holds everything: nothing is read back from it while it
// runs. (A folder that refuses writes: UserDefaultsTest and the system
// test SettingsFolderTest.)
TEST_F(WorkCycle, SettingsFileDeletedCorruptedOrUnreadableIsWrittenWholeAgain) {
    const QString path = UserDefaults::standardPath();
    const auto write = [&](const QByteArray &text) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(text) == text.size();
    };
    // clang-format off
    const struct { const char *fault; std::function<bool()> make; } cases[] = {
        {"deleted", [&] { return QFile::remove(path); }},
        {"corrupted", [&] { return write("<?xml version=\"1.0\"?>\n<plist><dict><key>tot\x01\xff half"); }},
        {"emptied", [&] { return write({}); }},
        {"unreadable", [&] { return QFile::setPermissions(path, QFileDevice::Permissions()); }},
        {"folder deleted", [&] { return QDir(QFileInfo(path).path()).removeRecursively(); }},
    };
    // clang-format on
    ASSERT_TRUE(startMetering(5000));
    quint64 in = 5000, out = 6000;
    ASSERT_TRUE(countAndStore(in, out));
    environment.clearLog();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.fault);
        ASSERT_TRUE(c.make());
        ASSERT_TRUE(countAndStore(in, out)) << "the file does not hold the totals";
        EXPECT_TRUE(controller->isLogging());
    }
    EXPECT_EQ(controller->totalInBytes(), 6 * 70'001u);
    EXPECT_EQ(controller->totalOutBytes(), 6 * 3u);
    EXPECT_TRUE(environment.logLines().isEmpty())
        << environment.logLines().join('\n').toStdString();
}

} // namespace

} // namespace flowtally
