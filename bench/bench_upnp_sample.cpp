// The cost of one UPnP sample against a real miniupnpd: the requests of a
// tick (GetStatusInfo's up-time, GetTotalBytesSent, GetTotalBytesReceived;
// miniupnpd has no GetAddonInfos), with the up-time and without it, and one
// discovery. miniupnpd serves on the router of a LAN of network namespaces
// of the benchmark's own; the client runs, as Flowtally's worker does, on
// a plain std::thread, which enters the LAN host's namespace, so nothing
// reaches another network. Prints medians (a sample) and the router's
// CPU as a mean; asserts nothing. Needs root, iproute2 and miniupnpd.
#include "bench/Figures.h"
#include "tests/support/IgdScene.h"
#include "bench/Timing.h"
#include "net/upnp/UpnpClient.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <ctime>
#include <functional>
#include <thread>
#include <unistd.h>
#include <vector>

namespace flowtally {

namespace {

constexpr int kSamples = 300;

double microsecondsOf(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
}

// The CPU time a process used so far, in microseconds (clock ticks of
// /proc/PID/stat: utime and stime).
double processMicroseconds(qint64 pid) {
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = file.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks * 1e6 / double(::sysconf(_SC_CLK_TCK));
}

double median(const std::vector<double> &values) {
    return spreadOf(values).median;
}

struct Costs {
    std::vector<double> wall, ownCpu;
    double routerCpuMean = 0;
    double requests = 0;
    int failed = 0;
};

Costs measure(const IgdScene &scene, UpnpDevice &device, const UpnpReadOptions &options) {
    Costs costs;
    const double routerStart = processMicroseconds(scene.igdPid());
    int requests = 0;
    for (int i = 0; i < kSamples; ++i) {
        const double wallStart = microsecondsOf(CLOCK_MONOTONIC);
        const double cpuStart = microsecondsOf(CLOCK_THREAD_CPUTIME_ID);
        UpnpReading reading;
        costs.failed += !readUpnpCounters(device, &reading, options).ok();
        costs.ownCpu.push_back(microsecondsOf(CLOCK_THREAD_CPUTIME_ID) - cpuStart);
        costs.wall.push_back(microsecondsOf(CLOCK_MONOTONIC) - wallStart);
        requests += reading.requests;
    }
    costs.routerCpuMean = (processMicroseconds(scene.igdPid()) - routerStart) / kSamples;
    costs.requests = double(requests) / kSamples;
    return costs;
}

void printFigures(const char *what, double first, double second) {
    std::printf("%-44s %14.3f %14.3f\n", what, first, second);
}

} // namespace

} // namespace flowtally

using namespace flowtally;

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    if (!IgdScene::canPlay()) {
        std::printf("needs root and miniupnpd; nothing measured\n");
        return 0;
    }
    IgdScene scene;
    const QString failure = scene.error.isEmpty() ? scene.startIgd() : scene.error;
    if (!failure.isEmpty()) {
        std::printf("no scene: %s\n", qPrintable(failure));
        return 1;
    }

    bool entered = false;
    Status discovered = Status::ioError(QStringLiteral("not run"));
    double discoveryWall = 0, discoveryCpu = 0;
    Costs withUptime, countersOnly;
    std::thread worker([&] {
        if (!(entered = enterNamespace(scene.lan.lan)))
            return;
        QList<UpnpDevice> devices;
        const double wallStart = microsecondsOf(CLOCK_MONOTONIC);
        const double cpuStart = microsecondsOf(CLOCK_THREAD_CPUTIME_ID);
        discovered = discoverUpnpDevices(
            {.localAddress = scene.lan.host, .preferredAddress = scene.lan.router}, &devices);
        discoveryCpu = microsecondsOf(CLOCK_THREAD_CPUTIME_ID) - cpuStart;
        discoveryWall = microsecondsOf(CLOCK_MONOTONIC) - wallStart;
        if (!discovered.ok())
            return;
        UpnpDevice device = devices.first();
        // The first reading learns which counter calls the device has.
        UpnpReading reading;
        // Only what it learns counts here: measure() counts failed readings.
        readUpnpCounters(device, &reading).ignore();
        withUptime = measure(scene, device, {});
        countersOnly = measure(scene, device, {.uptime = false});
    });
    worker.join();
    if (!entered || !discovered.ok()) {
        std::printf("no UPnP device: %s\n",
                    entered ? qPrintable(discovered.message()) : "setns failed");
        return 1;
    }

    std::printf("One UPnP sample against miniupnpd on %s in a namespace of its own, %d samples "
                "each (%d and %d failed); medians in milliseconds\n",
                qPrintable(scene.lan.router), kSamples, withUptime.failed, countersOnly.failed);
    std::printf("%-44s %14s %14s\n", "", "with up-time", "counters only");
    printFigures("requests per sample", withUptime.requests, countersOnly.requests);
    printFigures("wall time of one sample", median(withUptime.wall) / 1e3,
                 median(countersOnly.wall) / 1e3);
    printFigures("CPU time, Flowtally's thread", median(withUptime.ownCpu) / 1e3,
                 median(countersOnly.ownCpu) / 1e3);
    printFigures("CPU time per request, Flowtally's thread",
                 median(withUptime.ownCpu) / 1e3 / withUptime.requests,
                 median(countersOnly.ownCpu) / 1e3 / countersOnly.requests);
    printFigures("CPU time, miniupnpd (mean)", withUptime.routerCpuMean / 1e3,
                 countersOnly.routerCpuMean / 1e3);
    std::printf("\nOne discovery (SSDP for %d ms, the description, the connections' status, "
                "the link's speed): wall %.1f ms, CPU of Flowtally's thread %.3f ms\n",
                int(UpnpSearchOptions().listen.count()), discoveryWall / 1e3, discoveryCpu / 1e3);

    printFigure("UPnP sample (miniupnpd, 3 requests): CPU, Flowtally",
                median(withUptime.ownCpu) / 1e3, "ms");
    printFigure("UPnP sample (miniupnpd, 3 requests): wall time", median(withUptime.wall) / 1e3,
                "ms");
    printFigure("UPnP sample (miniupnpd, 2 requests, no up-time): CPU, Flowtally",
                median(countersOnly.ownCpu) / 1e3, "ms");
    printFigure("UPnP discovery: CPU, Flowtally", discoveryCpu / 1e3, "ms");
    return withUptime.failed == 0 && countersOnly.failed == 0 ? 0 : 1;
}
