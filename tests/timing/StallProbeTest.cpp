// The main loop never waits for the disk. A stall probe, a repeating 10 ms
// timer that measures its own lateness, runs beside a thousand ticks of
// the real work cycle while every settings write takes 200 ms: the record
// goes to the store every write-timer firing and to the file at once every
// few ticks, yet no firing of the probe comes more than 50 ms late.
//
// Lateness is counted on the main thread's own account: the time it waited
// for a processor (its run-queue wait, /proc/self/task/TID/schedstat) is
// taken off, so that a busy machine does not pass for a stall. Skipped under
// the sanitizers, whose slowness it would measure.
#include "tests/support/controller/ControllerFixture.h"

#include "platform/system/UserDefaults.h"
#include "tests/support/controller/DrivenCycle.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <unistd.h>

namespace flowtally {

namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

constexpr int kTicks = 1000;
constexpr int kWarmUpTicks = 20;
constexpr auto kProbeInterval = 10ms;
constexpr auto kWriteDelay = 200ms;
constexpr auto kLongestStall = 50ms;
constexpr int kWriteNowEvery = 5; // ticks

// The world in force, where every write of a file takes kWriteDelay.
class SlowWrites : public EnvironmentWrapper {
  public:
    SlowWrites() : EnvironmentWrapper(Environment::current()) {}
    Status writeFileAtomically(const QString &path, const QByteArray &data) override {
        if (QThread::currentThread() == QCoreApplication::instance()->thread())
            ++onMainThread;
        std::this_thread::sleep_for(kWriteDelay);
        ++writes;
        return EnvironmentWrapper::writeFileAtomically(path, data);
    }
    std::atomic<int> writes = 0, onMainThread = 0;

  private:
    ScopedEnvironment scope_{*this};
};

// Nanoseconds the calling thread has waited on a run queue so far; 0 when
// the kernel does not say.
qint64 runQueueWaitNs() {
    QFile file(QStringLiteral("/proc/self/task/%1/schedstat").arg(::gettid()));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = file.readAll().split(' ');
    return fields.size() >= 2 ? fields[1].toLongLong() : 0;
}

// A repeating timer on the main loop that notes how late each firing came,
// all of it and on the main thread's own account.
class StallProbe {
  public:
    StallProbe() {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { fired(); });
        last_ = SteadyClock::now();
        lastWait_ = runQueueWaitNs();
        timer_.start(kProbeInterval);
    }
    int firings = 0;
    SteadyClock::duration worstLateness{}, worstOwnLateness{};

  private:
    void fired() {
        const SteadyClock::time_point now = SteadyClock::now();
        const qint64 wait = runQueueWaitNs();
        const SteadyClock::duration late = now - last_ - kProbeInterval;
        const SteadyClock::duration own = late - std::chrono::nanoseconds(wait - lastWait_);
        worstLateness = std::max(worstLateness, late);
        worstOwnLateness = std::max(worstOwnLateness, own);
        ++firings;
        last_ = now;
        lastWait_ = wait;
    }
    QTimer timer_;
    SteadyClock::time_point last_;
    qint64 lastWait_ = 0;
};

double milliseconds(SteadyClock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

class StallProbeTest : public ControllerFixture {
  protected:
    SlowWrites slow;
};

TEST_F(StallProbeTest, SlowSettingsWritesNeverStallTheMainLoop) {
    DrivenCycle cycle(environment, tools);
    quint64 in = 1000, out = 2000;
    cycle.setCounters(in, out);
    controller->mainWindowWidget()->show();
    controller->startLogging();
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    // The window's first paints (its fonts and glyphs, the charts' first
    // frame) come once, before the probe: it measures the ticks that follow.
    for (int tick = 0; tick < kWarmUpTicks; ++tick)
        cycle.tick(*controller);

    // A main loop that waits for the writer stalls at every one of the
    // writes of a run. A single stall of the machine's own (memory reclaim,
    // a page fault on a busy disk) does not come back at the same moment, so
    // a run that saw one is run once more.
    SteadyClock::duration worst{};
    for (int run = 1; run <= 2; ++run) {
        const int writesBefore = slow.writes;
        StallProbe probe;
        for (int tick = 1; tick <= kTicks; ++tick) {
            in += 150000;
            out += 20000;
            cycle.setCounters(in, out);
            ASSERT_TRUE(cycle.tick(*controller)) << "tick " << tick << " took no sample";
            // As when the network changes or a setting is changed: the
            // record goes to the file at once.
            if (tick % kWriteNowEvery == 0) {
                controller->storeRecordNow();
                defaults.writeNow();
            }
        }
        const int writes = slow.writes - writesBefore;
        std::printf("stall probe, run %d: %d ticks, %d probe firings, %d slowed writes; worst "
                    "lateness %.1f ms, on the main thread's own account %.1f ms\n",
                    run, kTicks, probe.firings, writes, milliseconds(probe.worstLateness),
                    milliseconds(probe.worstOwnLateness));
        EXPECT_GE(writes, 5) << "too few slowed writes to say anything";
        worst = probe.worstOwnLateness;
        if (worst < kLongestStall)
            break;
    }
    EXPECT_EQ(slow.onMainThread, 0) << "a file written on the main thread";
    EXPECT_LT(worst, kLongestStall) << "the main loop stalled in both runs";
}

} // namespace

} // namespace flowtally
