// What a tick costs behind a router, in one run:
//  - behind a router that answers SNMP (snmpd): a whole tick of the
//    sources as the worker runs it (the address field's decision, then the
//    sample), against one bare snmpget of the same objects (numeric names,
//    no modules, no configuration file, the community on its command line)
//    and against a tick that probes before its sample, as every tick did
//    before the decision could be made on trust;
//  - behind a router that answers UPnP IGD (miniupnpd): one sample of the
//    UPnP source, with the checks that keep its faults from becoming bytes.
// Both serve on the router of a LAN of network namespaces of the
// benchmark's own; the ticks run on a plain std::thread, as Flowtally's
// worker does, which enters the LAN host's namespace, so that the tools it
// starts and the requests it sends stay there. Tool runs are counted in a
// first pass through wrappers that write each run down. CPU is Flowtally's
// thread and the tools it started together; means per tick after a first
// tick that finds the router. Asserts nothing. Needs root, iproute2, snmpd
// and miniupnpd.
#include "bench/Figures.h"
#include "tests/support/IgdScene.h"
#include "record/SettingsKeys.h"
#include "net/SnmpEnvironment.h"
#include "net/Sources.h"
#include "tests/support/TestEnvironment.h"
#include "bench/Timing.h"
#include "platform/system/ToolPaths.h"
#include "platform/system/UserDefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <functional>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace flowtally {

namespace {

constexpr int kTicks = 100;
const QString kCommunity = QStringLiteral("bench");

double microsecondsOf(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
}

// CPU time of the children reaped so far, in microseconds.
double childrenMicroseconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto micro = [](const timeval &time) {
        return double(time.tv_sec) * 1e6 + double(time.tv_usec);
    };
    return micro(usage.ru_utime) + micro(usage.ru_stime);
}

struct Costs {
    double wall = 0, ownCpu = 0, toolsCpu = 0; // means, in milliseconds
    int failed = 0;
    double cpu() const { return ownCpu + toolsCpu; }
};

// Runs the step `times` times on this thread; the means of each.
Costs measure(int times, const std::function<bool()> &step) {
    Costs costs;
    const double wallStart = microsecondsOf(CLOCK_MONOTONIC);
    const double cpuStart = microsecondsOf(CLOCK_THREAD_CPUTIME_ID);
    const double childrenStart = childrenMicroseconds();
    for (int i = 0; i < times; ++i)
        costs.failed += !step();
    costs.wall = (microsecondsOf(CLOCK_MONOTONIC) - wallStart) / 1e3 / times;
    costs.ownCpu = (microsecondsOf(CLOCK_THREAD_CPUTIME_ID) - cpuStart) / 1e3 / times;
    costs.toolsCpu = (childrenMicroseconds() - childrenStart) / 1e3 / times;
    return costs;
}

// The runs of the SNMP tools per step, counted by wrappers in place of the
// tools while the step runs `times` times.
double toolRunsPer(TestEnvironment &environment, const QString &folder, int times,
                   const std::function<bool()> &step) {
    const QString runs = QDir(folder).filePath(QStringLiteral("runs"));
    for (const QString &tool : {kSnmpGetTool, kSnmpWalkTool}) {
        const QString wrapper = QDir(folder).filePath(QFileInfo(tool).fileName());
        QFile file(wrapper);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(
            QStringLiteral("#!/bin/sh\necho >> '%1'\nexec %2 \"$@\"\n").arg(runs, tool).toUtf8());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        environment.setToolPath(tool, wrapper);
    }
    QFile::remove(runs);
    for (int i = 0; i < times; ++i)
        step();
    for (const QString &tool : {kSnmpGetTool, kSnmpWalkTool})
        environment.setToolPath(tool, QString());
    QFile file(runs);
    return file.open(QIODevice::ReadOnly) ? double(file.readAll().count('\n')) / times : 0;
}

// One snmpget of the sample's objects by their numeric names at interface
// `index`, as bare as the tool runs: no modules, no configuration file.
bool bareGet(const QString &router, quint32 index, const QString &noConfiguration) {
    const QString at = QString::number(index);
    QProcess get;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("SNMPCONFPATH"), noConfiguration);
    environment.insert(QStringLiteral("MIBS"), QString());
    get.setProcessEnvironment(environment);
    get.setStandardErrorFile(QProcess::nullDevice());
    get.start(QStringLiteral("/usr/bin/snmpget"),
              {"-v", "2c", "-r", "0", "-t", "1", "-c", kCommunity, router, "1.3.6.1.2.1.1.3.0",
               "1.3.6.1.2.1.31.1.1.1.6." + at, "1.3.6.1.2.1.31.1.1.1.10." + at,
               "1.3.6.1.2.1.2.2.1.10." + at, "1.3.6.1.2.1.2.2.1.16." + at, "1.3.6.1.2.1.1.5.0",
               "1.3.6.1.2.1.31.1.1.1.15." + at, "1.3.6.1.2.1.2.2.1.5." + at,
               "1.3.6.1.2.1.31.1.1.1.19." + at});
    return get.waitForFinished(5000) && get.exitCode() == 0 &&
           get.readAllStandardOutput().count('\n') == 9;
}

} // namespace

} // namespace flowtally

using namespace flowtally;

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    if (!IgdScene::canPlay() || !QFile::exists(QStringLiteral("/usr/sbin/snmpd"))) {
        std::printf("needs root, snmpd and miniupnpd; nothing measured\n");
        return 0;
    }
    setUpSnmpEnvironment(bundledMibFolder());
    // One router with both: snmpd and miniupnpd.
    IgdScene scene;
    QTemporaryDir state;
    SnmpAgent agent(scene.lan, bundledMibFolder(), state.filePath(QStringLiteral("snmp")),
                    state.filePath(QStringLiteral("snmpd.log")), QStringLiteral("benchrouter"));
    QString failure = scene.error.isEmpty() ? scene.startIgd() : scene.error;
    if (failure.isEmpty())
        failure = agent.start(kCommunity);
    if (!failure.isEmpty()) {
        std::printf("no scene: %s\n", qPrintable(failure));
        return 1;
    }
    TestEnvironment environment;
    environment.setNetwork(FakeNetwork{QStringLiteral("eth0"), scene.lan.router});
    environment.setUpnpAllowed(true);
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setObject(SettingsKey::communityPassword, kCommunity);

    bool entered = false;
    int firstFailed = 0;
    double snmpRuns = 0, probedRuns = 0, upnpRuns = 0;
    Costs snmp, probed, bare, upnp;
    quint32 index = 0;
    std::thread worker([&] {
        if (!(entered = enterNamespace(scene.lan.lan)))
            return;
        Sources sources([](const QString &) {});
        // A tick as the worker makes it: a new decision, the address for
        // the address field, the sample.
        const auto tick = [&sources] {
            sources.discovery().clearRouterDecision();
            sources.discovery().routerIPAddress();
            return sources.tickSample().has_value();
        };
        const auto tickOver = [&](const char *counters) {
            defaults.setObject(SettingsKey::RouterCounters, QString::fromLatin1(counters));
            // The first tick finds the router: the probe, the walk, or
            // the discovery.
            firstFailed += !tick();
        };
        tickOver("snmp");
        snmpRuns = toolRunsPer(environment, state.path(), 10, tick);
        snmp = measure(kTicks, tick);
        // As a tick was before a decision could be made on trust: the
        // probe, then the sample.
        const auto probedTick = [&sources, &tick] {
            sources.discovery().rearmRouterProbe();
            return tick();
        };
        probedRuns = toolRunsPer(environment, state.path(), 10, probedTick);
        probed = measure(kTicks, probedTick);
        const std::optional<TrafficSample> sample = sources.tickSample();
        index = sample ? sample->value(SampleKey::InterfaceIndex).toUInt() : 0;
        const QString router = scene.lan.router;
        const QString noConfiguration = state.filePath(QStringLiteral("none"));
        QDir().mkpath(noConfiguration);
        bare = measure(kTicks, [&] { return bareGet(router, index, noConfiguration); });
        tickOver("upnp");
        const auto upnpSample = [&sources] { return sources.upnp().read().sample.has_value(); };
        upnpRuns = toolRunsPer(environment, state.path(), 10, upnpSample);
        upnp = measure(kTicks, upnpSample);
    });
    worker.join();
    defaults.removeObject(SettingsKey::RouterCounters);
    if (!entered) {
        std::printf("setns failed\n");
        return 1;
    }

    std::printf("Ticks behind a router on %s in a namespace of its own (snmpd, interface %u; "
                "miniupnpd), %d each (%d, %d, %d and %d failed, %d first ticks); means in "
                "milliseconds\n",
                qPrintable(scene.lan.router), index, kTicks, snmp.failed, probed.failed,
                bare.failed, upnp.failed, firstFailed);
    std::printf("%-30s %12s %12s %12s %12s\n", "", "SNMP tick", "probe + get", "bare snmpget",
                "UPnP sample");
    const auto row = [](const char *what, double a, double b, double c, double d) {
        std::printf("%-30s %12.3f %12.3f %12.3f %12.3f\n", what, a, b, c, d);
    };
    row("SNMP tool runs", snmpRuns, probedRuns, 1, upnpRuns);
    row("wall time", snmp.wall, probed.wall, bare.wall, upnp.wall);
    row("CPU time, Flowtally's thread", snmp.ownCpu, probed.ownCpu, bare.ownCpu, upnp.ownCpu);
    row("CPU time, the tools", snmp.toolsCpu, probed.toolsCpu, bare.toolsCpu, upnp.toolsCpu);
    row("CPU time, together", snmp.cpu(), probed.cpu(), bare.cpu(), upnp.cpu());
    std::printf("SNMP tick against the bare tool's own CPU: %.2f times (probe + get: %.2f; goal: "
                "at most 2)\n",
                snmp.cpu() / bare.toolsCpu, probed.cpu() / bare.toolsCpu);
    std::printf("UPnP sample: %.3f ms of CPU (goal: at most 1)\n", upnp.cpu());

    printFigure("SNMP router tick: CPU", snmp.cpu(), "ms");
    printFigure("SNMP router tick: tool runs", snmpRuns, "", 2);
    printFigure("bare snmpget of the sample's objects: CPU", bare.toolsCpu, "ms");
    printFigure("SNMP router tick against bare snmpget", snmp.cpu() / bare.toolsCpu, "x", 2);
    printFigure("UPnP sample: CPU", upnp.cpu(), "ms");
    return snmp.failed == 0 && probed.failed == 0 && bare.failed == 0 && upnp.failed == 0 ? 0 : 1;
}
