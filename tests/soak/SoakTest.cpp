// A long run of the real work cycle: tens of thousands of ticks with
// traffic, Flowtally ended and started again over the same settings every
// few thousand. The totals stay exact to the byte; no file descriptor or
// thread outlives the controller that made it; resident memory stays flat.
//
// FLOWTALLY_SOAK_TICKS sets the number of ticks (the sanitizer trees run
// fewer by default: they are several times slower).
#include "tests/support/controller/ControllerFixture.h"

#include "platform/loop/MainLoop.h"
#include "platform/loop/Threads.h"
#include "platform/system/UserDefaults.h"
#include "tests/support/LoopWaits.h"
#include "tests/support/controller/DrivenCycle.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThreadPool>

#include <cstdio>
#include <optional>
#include <random>
#include <thread>

namespace flowtally {

namespace {

#ifdef FLOWTALLY_SANITIZED_TREE
constexpr bool kSanitized = true;
constexpr int kDefaultTicks = 4000;
#else
constexpr bool kSanitized = false;
constexpr int kDefaultTicks = 20000;
#endif
constexpr int kRestarts = 6;
constexpr int kSettleTicks = 20;
// Generous: a leak of a few hundred bytes a tick shows; allocator noise does not.
constexpr long kMostGrowthKiB = 24 * 1024;

int ticksWanted() {
    const int asked = qEnvironmentVariableIntValue("FLOWTALLY_SOAK_TICKS");
    return asked > 0 ? asked : kDefaultTicks;
}

// The process's file descriptors and threads.
struct Resources {
    qsizetype descriptors = 0, threads = 0;
    bool operator==(const Resources &) const = default;
};

// Qt's own thread pool (image conversions while painting) and Flowtally's
// detached threads keep idle threads for half a minute, for whatever comes
// next in the process; they are let go before counting, so that only what a
// controller holds is counted.
Resources resourcesNow() {
    QThreadPool::globalInstance()->waitForDone();
    endIdleThreads();
    const auto entries = [](const char *folder) {
        return QDir(QString::fromLatin1(folder))
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
            .size();
    };
    return {entries("/proc/self/fd"), entries("/proc/self/task")};
}

// The counts once they are the expected ones, or, without any expected,
// once they hold still for 200 ms: what ended controllers started (the last
// worker) may still be on its way out. 3 s at most.
Resources settledResources(const std::optional<Resources> &expected = std::nullopt) {
    Resources last = resourcesNow();
    for (int attempt = 0; attempt < 300 && !(expected && last == *expected); ++attempt) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        std::this_thread::sleep_for(std::chrono::milliseconds(expected ? 10 : 200));
        const Resources now = resourcesNow();
        if (!expected && (now == last || attempt == 14))
            return now;
        last = now;
    }
    return last;
}

long residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').constFirst().toLong();
    return -1;
}

class Soak : public ControllerFixture {
  protected:
    // Ends the controller as quitting does, and the settings store with it
    // (it writes what it holds), as at the end of a process.
    void endController() {
        controller->applicationShouldTerminate();
        controller.reset();
        UserDefaults::resetStandardUserDefaults();
    }
    // A new controller over the same settings folder, logging as at launch.
    void startController() {
        AppDelegate::rearmRouterProbe();
        controller = std::make_unique<AppDelegate>();
        controller->startLogging();
        // The start's own tick: its sample dates the next one's gap.
        ASSERT_TRUE(runLoopUntil([&] { return !controller->isWorking(); }));
        runMainLoopFor(0);
    }
};

TEST_F(Soak, TotalsStayExactAndNothingIsLeftBehindOverThousandsOfTicks) {
    const int ticks = ticksWanted();
    const int restartEvery = std::max(ticks / (kRestarts + 1), 1);
    DrivenCycle cycle(environment, tools);
    // Counters near 2^32 that then pass it; some ticks move nothing.
    std::mt19937_64 random(20240611);
    std::uniform_int_distribution<quint64> inStep(0, 3 * 1024 * 1024), outStep(0, 512 * 1024);
    const quint64 firstIn = (quint64(1) << 32) - 40 * 1024 * 1024, firstOut = 123456789;
    quint64 in = firstIn, out = firstOut;
    cycle.setCounters(in, out);

    // The start values: no controller, a fresh settings store.
    endController();
    const Resources start = settledResources();
    const auto expectAsAtStart = [&start](const std::string &when) {
        const Resources now = settledResources(start);
        EXPECT_EQ(now.descriptors, start.descriptors) << when;
        EXPECT_EQ(now.threads, start.threads) << when;
    };
    ASSERT_NO_FATAL_FAILURE(startController());
    // The first reading that counts is the one all later ones are measured against.
    ASSERT_TRUE(cycle.tick(*controller));

    QElapsedTimer wall;
    wall.start();
    long rssStart = -1;
    int restarts = 0;
    for (int tick = 1; tick <= ticks; ++tick) {
        if (random() % 8 != 0) {
            in += inStep(random);
            out += outStep(random);
        }
        cycle.setCounters(in, out);
        ASSERT_TRUE(cycle.tick(*controller)) << "tick " << tick << " took no sample";
        ASSERT_EQ(controller->totalInBytes(), in - firstIn) << "tick " << tick;
        ASSERT_EQ(controller->totalOutBytes(), out - firstOut) << "tick " << tick;
        if (tick == kSettleTicks * 10)
            rssStart = residentKiB();
        if (tick % restartEvery == 0 && tick < ticks) {
            // Every other restart follows a write of the record, the others
            // come as a crash would, with the last ticks only in memory.
            if (++restarts % 2 == 0)
                controller->doWriteToDisk();
            endController();
            expectAsAtStart("restart " + std::to_string(restarts));
            ASSERT_NO_FATAL_FAILURE(startController());
        }
    }
    const double seconds = double(wall.elapsed()) / 1000.0;
    const long rssEnd = residentKiB();

    // What the file holds once the last controller has gone.
    controller->doWriteToDisk();
    endController();
    expectAsAtStart("the end");
    const QVariantMap record = UserDefaults::standardUserDefaults().objectForKey(kService).toMap();
    EXPECT_EQ(record.value("totalInBytes").toULongLong(), in - firstIn);
    EXPECT_EQ(record.value("totalOutBytes").toULongLong(), out - firstOut);

    std::printf("soak: %d ticks, %d restarts (%d without a last write), %.3f ms a tick; VmRSS "
                "%ld KiB after tick %d, %+ld KiB at the end\n",
                ticks, restarts, (restarts + 1) / 2, seconds * 1000 / ticks, rssStart,
                kSettleTicks * 10, rssEnd - rssStart);
    // The sanitizers hold freed memory back on purpose.
    if (!kSanitized && rssStart > 0) {
        EXPECT_LE(rssEnd - rssStart, kMostGrowthKiB) << "resident memory grew";
    }
}

} // namespace

} // namespace flowtally
