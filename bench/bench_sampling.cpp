// The engine's cost per local sample, taken from this machine's loopback
// interface by the real flowtally-netstat helper: CPU time of this process
// and of the programs it starts, and resident memory over many ticks with
// the status line running. Prints figures; asserts nothing.
//
// Nothing leaves loopback: the network store is a fake that names "lo" and a
// router on 127.0.0.77, and both SNMP tools are /bin/true, so every router
// probe fails and the samples come from the local source.
//
// Usage: bench_sampling [ticks per phase, 100 to 100000; default 1000]

#include "app/AppDelegate.h"
#include "bench/Figures.h"
#include "platform/loop/MainLoop.h"
#include "platform/loop/NotificationCenter.h"
#include "tests/support/TestEnvironment.h"
#include "platform/system/ToolPaths.h"
#include "net/TrafficSample.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <sys/resource.h>
#include <thread>

namespace flowtally {

namespace {

const QString kNoError = QStringLiteral("No Error");

constexpr int kDefaultTicks = 1000;
constexpr int kMinimumTicks = 100;
constexpr int kMaximumTicks = 100000;
constexpr int kWarmUpTicks = 10;
constexpr int kEarlyTick = 100;        // the first memory reading
constexpr double kSampleSpacing = 1.5; // seconds between a tick's samples in the app
constexpr double kWriteInterval = 2.0; // seconds between writes of the record in the app
constexpr auto kWorkerPoll = std::chrono::microseconds(20); // while the worker ends
constexpr double kTickTimeout = 10.0; // seconds a tick may take before it counts as lost
constexpr double kGoalCpuMs = 3.0;
constexpr double kGoalGrowthKiB = 1024.0;

std::atomic<quint64> storeReads = 0;

// The benchmark's world: loopback and a router on it in the kernel's
// tables, SNMP tools that answer nothing, and every read of the routing
// table counted (one per read of the network store).
class BenchEnvironment : public TestEnvironment {
  public:
    BenchEnvironment() {
        setNetwork(FakeNetwork{QStringLiteral("lo"), QStringLiteral("127.0.0.77"),
                               QStringLiteral("02:00:00:00:be:7c")});
        setToolPath(kSnmpGetTool, QStringLiteral("/bin/true"));
        setToolPath(kSnmpWalkTool, QStringLiteral("/bin/true"));
    }
    QString routeTablePath() override {
        ++storeReads;
        return TestEnvironment::routeTablePath();
    }
};

struct CpuTimes {
    double selfUser = 0;
    double selfSystem = 0;
    double childUser = 0;
    double childSystem = 0;
};

double secondsOf(const timeval &time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// This process (all its threads) and its children that have been waited for.
CpuTimes cpuTimes() {
    rusage self{};
    rusage children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    return {secondsOf(self.ru_utime), secondsOf(self.ru_stime), secondsOf(children.ru_utime),
            secondsOf(children.ru_stime)};
}

double wallSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// VmRSS in KiB, or -1 when /proc does not say.
long residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').constFirst().toLong();
    }
    return -1;
}

// Counts the status texts that the idle queue posts.
class StatusCounter : public QObject {
  public:
    StatusCounter() {
        NotificationCenter::defaultCenter().addObserver(
            this, AppDelegate::kInfoTextNotificationName, [this](const QVariant &text) {
                ++posts;
                if (text.toString() == kNoError) {
                    ++noErrorPosts;
                    if (waiter)
                        waiter->quit();
                }
            });
    }
    ~StatusCounter() override { NotificationCenter::defaultCenter().removeObserver(this); }
    StatusCounter(const StatusCounter &) = delete;
    StatusCounter &operator=(const StatusCounter &) = delete;

    quint64 posts = 0;
    quint64 noErrorPosts = 0;
    QEventLoop *waiter = nullptr; // quit at the next "No Error"
};

// Runs the main loop, as the app's own loop runs between ticks, until the
// idle queue has posted a "No Error" after the `before`th. Gives up after
// kTickTimeout.
bool waitForNoError(StatusCounter &status, quint64 before) {
    if (status.noErrorPosts > before)
        return true;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    limit.start(static_cast<int>(kTickTimeout * 1000));
    status.waiter = &loop;
    loop.exec();
    status.waiter = nullptr;
    return status.noErrorPosts > before;
}

// Runs the main loop until the worker thread has ended (it may still wait
// for the main thread once), then once more to deliver what it queued last.
bool waitForWorker(const AppDelegate &controller) {
    const QDeadlineTimer deadline(static_cast<qint64>(kTickTimeout * 1000));
    while (controller.isWorking() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (controller.isWorking())
            std::this_thread::sleep_for(kWorkerPoll);
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return !controller.isWorking();
}

struct PhaseResult {
    int ticks = 0;
    int lostTicks = 0;       // no "No Error" seen, or the worker never ended
    int acceptedSamples = 0; // samples of the service that processStatsDict took
    quint64 statusPosts = 0;
    quint64 noErrorPosts = 0;
    quint64 reads = 0;
    int recordWrites = 0;
    CpuTimes cpu;
    double wall = 0;
    long rssEarly = -1;
    long rssLate = -1;
};

// One tick of the worker's steps, all on the main thread: a local sample,
// stamped as if it came kSampleSpacing after the previous one so that the
// accounting takes it in full, then the main loop until its status text is
// posted.
bool workerStepsTick(AppDelegate &controller, StatusCounter &status, const QDateTime &date,
                     int &accepted) {
    const quint64 before = status.noErrorPosts;
    std::optional<TrafficSample> sample = AppDelegate::primaryInterfaceStats();
    if (sample)
        sample->insert(SampleKey::FireDate, date);
    controller.processStatsDict(sample);
    if (sample && controller.lastFireDate() == date)
        ++accepted;
    return waitForNoError(status, before);
}

// One tick of the real cycle: doWork() starts the worker thread, the main loop
// runs until the tick's status text is posted and the worker has ended, and
// its sample has been processed.
bool cycleTick(AppDelegate &controller, StatusCounter &status, int &accepted) {
    const quint64 before = status.noErrorPosts;
    const QDateTime previous = controller.lastFireDate();
    controller.doWork();
    const bool posted = waitForNoError(status, before);
    // The worker queues its sample just before it ends.
    const bool ended = waitForWorker(controller);
    if (controller.lastFireDate() != previous)
        ++accepted;
    return posted && ended;
}

PhaseResult runPhase(int ticks, const StatusCounter &status,
                     const std::function<bool(int tick, int &accepted)> &tick,
                     const std::function<bool(int tick)> &afterTick) {
    PhaseResult result;
    int ignored = 0;
    for (int i = 0; i < kWarmUpTicks; ++i)
        tick(-kWarmUpTicks + i, ignored);

    const quint64 postsBefore = status.posts;
    const quint64 noErrorBefore = status.noErrorPosts;
    const quint64 readsBefore = storeReads;
    const CpuTimes start = cpuTimes();
    const double wallStart = wallSeconds();
    for (int i = 0; i < ticks; ++i) {
        if (!tick(i, result.acceptedSamples))
            ++result.lostTicks;
        if (afterTick(i))
            ++result.recordWrites;
        if (i + 1 == kEarlyTick)
            result.rssEarly = residentKiB();
    }
    result.wall = wallSeconds() - wallStart;
    const CpuTimes end = cpuTimes();
    result.rssLate = residentKiB();
    result.ticks = ticks;
    result.statusPosts = status.posts - postsBefore;
    result.noErrorPosts = status.noErrorPosts - noErrorBefore;
    result.reads = storeReads - readsBefore;
    result.cpu = {end.selfUser - start.selfUser, end.selfSystem - start.selfSystem,
                  end.childUser - start.childUser, end.childSystem - start.childSystem};
    return result;
}

void printLine(const char *label, const QString &value) {
    std::printf("  %-44s %s\n", label, qPrintable(value));
}

// Prints the phase's figures; hands the main ones, named after `what`, to
// the table of scripts/bench.
void printResult(const PhaseResult &r, const std::string &what) {
    const double n = r.ticks;
    const double self = (r.cpu.selfUser + r.cpu.selfSystem) / n * 1e3;
    const double children = (r.cpu.childUser + r.cpu.childSystem) / n * 1e3;
    const double total = self + children;
    printLine("ticks measured (lost)", QStringLiteral("%1 (%2)").arg(r.ticks).arg(r.lostTicks));
    printLine("samples delivered to processStatsDict", QString::number(r.acceptedSamples));
    printLine("status texts posted (of them \"No Error\")",
              QStringLiteral("%1 (%2)").arg(r.statusPosts).arg(r.noErrorPosts));
    printLine("network-store reads per tick", QString::number(double(r.reads) / n, 'f', 2));
    printLine("record writes (doWriteToDisk)", QString::number(r.recordWrites));
    printLine("CPU per sample, process user + sys, ms",
              QStringLiteral("%1  (%2 + %3)")
                  .arg(self, 0, 'f', 3)
                  .arg(r.cpu.selfUser / n * 1e3, 0, 'f', 3)
                  .arg(r.cpu.selfSystem / n * 1e3, 0, 'f', 3));
    printLine("CPU per sample, children user + sys, ms",
              QStringLiteral("%1  (%2 + %3)")
                  .arg(children, 0, 'f', 3)
                  .arg(r.cpu.childUser / n * 1e3, 0, 'f', 3)
                  .arg(r.cpu.childSystem / n * 1e3, 0, 'f', 3));
    printLine("CPU per sample, together, ms",
              QStringLiteral("%1   goal <= %2 ms: %3")
                  .arg(total, 0, 'f', 3)
                  .arg(kGoalCpuMs, 0, 'f', 1)
                  .arg(total <= kGoalCpuMs ? QStringLiteral("met") : QStringLiteral("NOT met")));
    printLine("wall time per tick, ms", QString::number(r.wall / n * 1e3, 'f', 3));
    const double growth = double(r.rssLate - r.rssEarly);
    printLine(qPrintable(QStringLiteral("VmRSS after tick %1, KiB").arg(kEarlyTick)),
              QString::number(r.rssEarly));
    printLine(qPrintable(QStringLiteral("VmRSS after tick %1, KiB").arg(r.ticks)),
              QString::number(r.rssLate));
    printLine("VmRSS growth, KiB", QStringLiteral("%1   goal <= %2 KiB: %3")
                                       .arg(growth, 0, 'f', 0)
                                       .arg(kGoalGrowthKiB, 0, 'f', 0)
                                       .arg(growth <= kGoalGrowthKiB ? QStringLiteral("met")
                                                                     : QStringLiteral("NOT met")));
    printFigure(what + ": CPU, Flowtally", self, "ms");
    printFigure(what + ": CPU, tools", children, "ms");
    printFigure(what + ": wall time", r.wall / n * 1e3, "ms");
    printFigure(what + ": resident memory after tick " + std::to_string(kEarlyTick),
                double(r.rssEarly), "KiB", 0);
    printFigure(what + ": resident memory after tick " + std::to_string(r.ticks), double(r.rssLate),
                "KiB", 0);
}

int ticksFromArguments(int argc, char **argv) {
    if (argc < 2)
        return kDefaultTicks;
    const int asked = std::atoi(argv[1]);
    return std::clamp(asked, kMinimumTicks, kMaximumTicks);
}

} // namespace

} // namespace flowtally

using namespace flowtally;

int main(int argc, char **argv) {
    const int ticks = ticksFromArguments(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    // No query leaves loopback: the SNMP tools answer nothing, and the store
    // names loopback and a router on it. The settings live in a folder of
    // the environment's own.
    BenchEnvironment environment;
    const QString service = environment.currentService().value_or(QString());
    const QString netstat = environment.toolPath(kNetstatTool);
    if (!QFileInfo(netstat).isExecutable()) {
        std::fprintf(stderr, "bench_sampling: no helper at %s; build flowtally-netstat too\n",
                     qPrintable(netstat));
        return 1;
    }
    const QString arp = environment.toolPath(kArpTool);

    StatusCounter status;
    AppDelegate controller;
    controller.setPrimaryService(service);
    controller.readDatFile();
    controller.mainWindowWidget()->show();
    runMainLoopFor(0.1); // the windows appear, the launch's delayed actions run

    AppDelegate::clearRouterDecision();
    const bool router = AppDelegate::probablyHasRouter();
    AppDelegate::clearRouterDecision();
    if (router) {
        std::fprintf(stderr, "bench_sampling: the router decision is yes; stopping\n");
        return 1;
    }

    std::printf("Flowtally engine benchmark: local samples of \"lo\" from the real helper\n");
    std::printf("  helper %s\n", qPrintable(netstat));
    std::printf("  arp helper %s%s\n", qPrintable(arp),
                QFileInfo(arp).isExecutable() ? "" : " (missing: its runs fail at once)");
    std::printf("  SNMP tools /bin/true, router 127.0.0.77 on the fake store: decision \"no\"\n");
    std::printf("  Qt platform %s, main window shown; %d warm-up ticks, then %d per phase\n",
                qPrintable(QGuiApplication::platformName()), kWarmUpTicks, ticks);
    std::printf("  CPU: getrusage(RUSAGE_SELF) + getrusage(RUSAGE_CHILDREN), all threads\n\n");

    const QDateTime base = QDateTime::currentDateTimeUtc();
    int stamp = 0;
    const PhaseResult steps = runPhase(
        ticks, status,
        [&](int, int &accepted) {
            ++stamp;
            return workerStepsTick(controller, status,
                                   base.addMSecs(qint64(stamp * kSampleSpacing * 1000)), accepted);
        },
        [](int) { return false; });
    std::printf("A. Worker steps on the main thread, per tick: primaryInterfaceStats(), then\n"
                "   processStatsDict(sample) with the sample dated %.1f s after the previous\n"
                "   one (so the accounting takes every sample in full), then the main loop\n"
                "   until the idle queue has posted the tick's status text.\n",
                kSampleSpacing);
    printResult(steps, "local sample, worker steps");

    // The record is written every kWriteInterval seconds in the app; here
    // the ticks stand for kSampleSpacing seconds each.
    const auto writeTimer = [&](int tick) {
        const auto slot = [](int t) { return int((t + 1) * kSampleSpacing / kWriteInterval); };
        if (tick < 0 || slot(tick) == slot(tick - 1))
            return false;
        controller.doWriteToDisk();
        return true;
    };
    const PhaseResult cycle = runPhase(
        ticks, status, [&](int, int &accepted) { return cycleTick(controller, status, accepted); },
        writeTimer);
    std::printf("\nB. Real work cycle, per tick: doWork() on the main thread (store read,\n"
                "   router decision cleared), the worker thread threadedDoWork() (router\n"
                "   address: SNMP probe and arp helper; local sample), the main loop until\n"
                "   the worker ended, its sample was processed and its status text posted;\n"
                "   doWriteToDisk() as often as the %.0f s write timer would fire at %.1f s a\n"
                "   tick. Ticks come faster than %.1f s apart, so the accounting keeps only\n"
                "   the date of each sample (its gap check) and shows no figures.\n",
                kWriteInterval, kSampleSpacing, kSampleSpacing);
    printResult(cycle, "tick, real cycle, silent loopback router");

    // Nothing of the controller may still be running when it goes.
    waitForWorker(controller);
    return 0;
}
