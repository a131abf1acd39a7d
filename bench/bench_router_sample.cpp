// The cost of one router sample (routerStats: four snmpget and two snmpwalk
// runs) against a real snmpd. The agent serves on the router of a LAN of
// network namespaces of the benchmark's own, beside an interface named
// vlan1; this thread enters the LAN host's namespace, so that the tools it
// starts run there and nothing reaches another network. Prints medians of wall time and
// CPU time (this thread's, and the tools' own); asserts nothing. Needs root,
// iproute2 and snmpd.
#include "AppDelegate.h"
#include "MainLoop.h"
#include "NetworkScene.h"
#include "SnmpEnvironment.h"
#include "TestEnvironment.h"
#include "UserDefaults.h"

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace flowtally {

namespace {

constexpr int kSamples = 100;
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
    // of the environment's own.
    TestEnvironment environment;
    environment.setNetwork(FakeNetwork{QStringLiteral("eth0"), lan.router});
    UserDefaults::standardUserDefaults().setObject(QStringLiteral("communityPassword"), kCommunity);
    AppDelegate controller;
    // One decision for the whole run: every sample asks the same router.
    AppDelegate::clearRouterDecision();
    if (!AppDelegate::probablyHasRouter()) {
        std::printf("the agent does not answer\n");
        return 1;
    }

    std::vector<double> wall, ownCpu, toolsCpu;
    int failed = 0;
    for (int i = 0; i < kSamples; ++i) {
        const double wallStart = microsecondsOf(CLOCK_MONOTONIC);
        const double cpuStart = microsecondsOf(CLOCK_THREAD_CPUTIME_ID);
        const double childrenStart = childrenMicroseconds();
        const std::optional<TrafficSample> sample = controller.routerStats();
        wall.push_back(microsecondsOf(CLOCK_MONOTONIC) - wallStart);
        ownCpu.push_back(microsecondsOf(CLOCK_THREAD_CPUTIME_ID) - cpuStart);
        toolsCpu.push_back(childrenMicroseconds() - childrenStart);
        failed += !sample || sample->value(SampleKey::Router).toString() != "benchrouter\n";
        // Let the status texts of the sample reach the status line.
        runMainLoopFor(0);
    }

    std::printf("routerStats() against snmpd on %s in a namespace of its own: %zu samples "
                "(%d failed), six tool runs each; medians in milliseconds\n",
                qPrintable(lan.router), wall.size(), failed);
    std::printf("%-40s %10.2f\n", "wall time of one sample", median(wall) / 1e3);
    std::printf("%-40s %10.2f\n", "wall time per tool run", median(wall) / 6e3);
    std::printf("%-40s %10.2f\n", "CPU time, Flowtally's thread", median(ownCpu) / 1e3);
    std::printf("%-40s %10.2f\n", "CPU time, the six tools together", median(toolsCpu) / 1e3);
    return failed == 0 ? 0 : 1;
}
