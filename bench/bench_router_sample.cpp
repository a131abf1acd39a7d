// The cost of the router source against a real snmpd, before and after in
// one run:
//  - one router sample: routerStats (one get once the interface is known)
//    against the per-object operations that a sample used to run one after
//    another (up-time, the walk of the descriptions, in, out, name);
//  - the ticks of a router that does not answer SNMP (no agent: the kernel
//    refuses the queries, as at most homes): a probe every tick, as before,
//    against the probe's rhythm (probablyHasRouter).
// The agent serves on the router of a LAN of network namespaces of the
// benchmark's own, beside an interface named vlan1; this thread enters the
// LAN host's namespace, so that the tools it starts run there and nothing
// reaches another network. Tool runs are counted in a first pass through
// wrappers that write each run down; CPU and wall time come from a second
// pass with the tools themselves. Prints medians (a sample) and means (a
// tick); asserts nothing. Needs root, iproute2 and snmpd.
#include "app/AppDelegate.h"
#include "bench/Figures.h"
#include "platform/loop/MainLoop.h"
#include "tests/support/NetworkScene.h"
#include "tests/support/ScriptFolder.h"
#include "net/SnmpEnvironment.h"
#include "tests/support/TestEnvironment.h"
#include "platform/system/ToolPaths.h"
#include "platform/system/UserDefaults.h"

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace flowtally {

namespace {

constexpr int kSamples = 100;
constexpr int kCountedSamples = 5;
constexpr int kSilentTicks = 20;
constexpr double kTickSeconds = 1.5;
const QString kCommunity = QStringLiteral("bench");

double microsecondsOf(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

// CPU time of the children reaped so far, in microseconds.
double childrenMicroseconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto micro = [](const timeval &time) {
        return static_cast<double>(time.tv_sec) * 1e6 + static_cast<double>(time.tv_usec);
    };
    return micro(usage.ru_utime) + micro(usage.ru_stime);
}

double median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

double mean(const std::vector<double> &values) {
    double sum = 0;
    for (const double value : values)
        sum += value;
    return sum / static_cast<double>(values.size());
}

struct Costs {
    std::vector<double> wall, ownCpu, toolsCpu;
    int failed = 0;
};

// Runs the step `times` times, each timed.
Costs measure(int times, const std::function<bool()> &step) {
    Costs costs;
    for (int i = 0; i < times; ++i) {
        const double wallStart = microsecondsOf(CLOCK_MONOTONIC);
        const double cpuStart = microsecondsOf(CLOCK_THREAD_CPUTIME_ID);
        const double childrenStart = childrenMicroseconds();
        costs.failed += !step();
        costs.wall.push_back(microsecondsOf(CLOCK_MONOTONIC) - wallStart);
        costs.ownCpu.push_back(microsecondsOf(CLOCK_THREAD_CPUTIME_ID) - cpuStart);
        costs.toolsCpu.push_back(childrenMicroseconds() - childrenStart);
        // Let the status texts reach the status line.
        runMainLoopFor(0);
    }
    return costs;
}

// The tools' runs, counted by wrappers in place of the tools while a step
// runs `times` times; per step.
double toolRunsPer(TestEnvironment &environment, int times, const std::function<bool()> &step) {
    ScriptFolder wrappers;
    for (const QString &tool : {kSnmpGetTool, kSnmpWalkTool})
        environment.setToolPath(tool, wrappers.write(QFileInfo(tool).fileName(),
                                                     QStringLiteral("echo >> '%1'\nexec %2 \"$@\"")
                                                         .arg(wrappers.filePath("runs"), tool)));
    for (int i = 0; i < times; ++i) {
        step();
        runMainLoopFor(0);
    }
    for (const QString &tool : {kSnmpGetTool, kSnmpWalkTool})
        environment.setToolPath(tool, QString());
    return static_cast<double>(readFile(wrappers.filePath("runs")).count('\n')) / times;
}

void printLine(const char *what, const char *before, const char *after) {
    std::printf("%-44s %12s %12s\n", what, before, after);
}

void printFigures(const char *what, double before, double after) {
    std::printf("%-44s %12.2f %12.2f\n", what, before, after);
}

} // namespace

} // namespace flowtally

using namespace flowtally;

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (::geteuid() != 0 || !QFile::exists(QStringLiteral("/usr/sbin/snmpd"))) {
        std::printf("needs root and snmpd; nothing measured\n");
        return 0;
    }
    setUpSnmpEnvironment(bundledMibFolder());

    Lan lan;
    QTemporaryDir state;
    SnmpAgent agent(lan, bundledMibFolder(), state.filePath(QStringLiteral("snmp")),
                    state.filePath(QStringLiteral("snmpd.log")), QStringLiteral("benchrouter"));
    const QString failure = lan.error.isEmpty() ? agent.start(kCommunity) : lan.error;
    if (!failure.isEmpty() || !enterNamespace(lan.lan)) {
        std::printf("no scene: %s\n", qPrintable(failure.isEmpty() ? "setns failed" : failure));
        return 1;
    }
    // The agent is the router of the kernel's tables; settings in a folder
    // of the environment's own; a clock that the ticks move on.
    TestEnvironment environment;
    environment.setNetwork(FakeNetwork{QStringLiteral("eth0"), lan.router});
    QDateTime now = QDateTime::currentDateTimeUtc();
    environment.setClock([&now] { return now; });
    UserDefaults::standardUserDefaults().setObject(QStringLiteral("communityPassword"), kCommunity);
    AppDelegate controller;
    // One decision for the samples: every sample asks the same router.
    AppDelegate::clearRouterDecision();
    if (!AppDelegate::probablyHasRouter()) {
        std::printf("the agent does not answer\n");
        return 1;
    }

    // ---- One router sample ----
    const auto perObject = [&controller] {
        // The runs of a sample before: each object its own query.
        if (!(controller.SNMPUptime() > 0))
            return false;
        const quint32 index = controller.SNMPInterfaceIndex();
        const bool read =
            AppDelegate::SNMPGet(QStringLiteral("IF-MIB::ifInOctets.%1").arg(index)).has_value() &&
            AppDelegate::SNMPGet(QStringLiteral("IF-MIB::ifOutOctets.%1").arg(index)).has_value();
        return read && AppDelegate::SNMPConfiguredName() == QStringLiteral("benchrouter\n");
    };
    const auto routerStats = [&controller] {
        const std::optional<TrafficSample> sample = controller.routerStats();
        return sample && sample->value(SampleKey::Router).toString() == "benchrouter\n";
    };
    // The first sample of routerStats walks; the ones after it do not.
    const double runsBefore = toolRunsPer(environment, kCountedSamples, perObject);
    const double firstRuns = toolRunsPer(environment, 1, routerStats);
    const double runsAfter = toolRunsPer(environment, kCountedSamples, routerStats);
    const Costs before = measure(kSamples, perObject);
    const Costs after = measure(kSamples, routerStats);

    std::printf("One router sample against snmpd on %s in a namespace of its own, %d samples "
                "each (%d and %d failed); medians in milliseconds\n",
                qPrintable(lan.router), kSamples, before.failed, after.failed);
    printLine("", "per object", "routerStats");
    printFigures("tool runs per sample", runsBefore, runsAfter);
    printFigures("tool runs of the first sample (walk + get)", runsBefore, firstRuns);
    printFigures("wall time of one sample", median(before.wall) / 1e3, median(after.wall) / 1e3);
    printFigures("CPU time, Flowtally's thread", median(before.ownCpu) / 1e3,
                 median(after.ownCpu) / 1e3);
    printFigures("CPU time, the tools", median(before.toolsCpu) / 1e3,
                 median(after.toolsCpu) / 1e3);
    printFigures("CPU time, together", median(before.ownCpu) / 1e3 + median(before.toolsCpu) / 1e3,
                 median(after.ownCpu) / 1e3 + median(after.toolsCpu) / 1e3);

    printFigure("router sample (snmpd): wall time", median(after.wall) / 1e3, "ms");
    printFigure("router sample (snmpd): CPU, Flowtally", median(after.ownCpu) / 1e3, "ms");
    printFigure("router sample (snmpd): CPU, tools", median(after.toolsCpu) / 1e3, "ms");
    printFigure("router sample (snmpd): tool runs", runsAfter, "", 2);

    // ---- A router that does not answer ----
    // Without an agent the router's kernel refuses the queries.
    agent.stop();
    const auto tickWith = [&now](const std::function<void()> &work) {
        return [&now, work] {
            now = now.addMSecs(static_cast<qint64>(kTickSeconds * 1000));
            AppDelegate::clearRouterDecision();
            work();
            return true;
        };
    };
    const std::optional<QString> router = lan.router;
    const auto probeEveryTick = tickWith([router] { AppDelegate::SNMPWorksWith(router); });
    const auto probeInRhythm = tickWith([] { AppDelegate::probablyHasRouter(); });
    AppDelegate::rearmRouterProbe();
    const double silentRunsBefore = toolRunsPer(environment, kSilentTicks, probeEveryTick);
    AppDelegate::rearmRouterProbe();
    const double silentRunsAfter = toolRunsPer(environment, kSilentTicks, probeInRhythm);
    const Costs silentBefore = measure(kSilentTicks, probeEveryTick);
    AppDelegate::rearmRouterProbe();
    const Costs silentAfter = measure(kSilentTicks, probeInRhythm);

    std::printf("\n%d ticks %.1f s apart with a router that answers no SNMP; means per tick in "
                "milliseconds\n",
                kSilentTicks, kTickSeconds);
    printLine("", "every tick", "in rhythm");
    printFigures("probes per tick", silentRunsBefore, silentRunsAfter);
    printFigures("wall time of a tick's decision", mean(silentBefore.wall) / 1e3,
                 mean(silentAfter.wall) / 1e3);
    printFigures("CPU time, Flowtally's thread", mean(silentBefore.ownCpu) / 1e3,
                 mean(silentAfter.ownCpu) / 1e3);
    printFigures("CPU time, the tools", mean(silentBefore.toolsCpu) / 1e3,
                 mean(silentAfter.toolsCpu) / 1e3);
    printFigures("CPU time, together",
                 mean(silentBefore.ownCpu) / 1e3 + mean(silentBefore.toolsCpu) / 1e3,
                 mean(silentAfter.ownCpu) / 1e3 + mean(silentAfter.toolsCpu) / 1e3);
    printFigure("refusing router, decision in rhythm: probes a tick", silentRunsAfter, "", 2);
    printFigure("refusing router, decision in rhythm: CPU a tick",
                mean(silentAfter.ownCpu) / 1e3 + mean(silentAfter.toolsCpu) / 1e3, "ms");
    environment.setClock({});
    return before.failed == 0 && after.failed == 0 ? 0 : 1;
}
