// What Flowtally costs behind a router that does not answer
// SNMP, with traffic on the line, beside vnStat's daemon watching the same
// interface for the same time.
//
// A LAN of network namespaces of the benchmark's own: the LAN host's
// default route leads to a router whose SNMP port is closed by a rule of
// the host's firewall (every query of the real snmpget fails at once, as
// towards a router without SNMP). Traffic flows over the link all along.
// Flowtally (its controller and windows, offscreen, with its real timers
// and the real snmpget, flowtally-netstat and flowtally-arp) runs in a
// child process inside the LAN host's namespace; it is measured over the
// first minute after a short warm-up, and again from 610 s after its start,
// once the silent router is asked only once a minute and the rates chart
// shows ten whole minutes (the rest of a day).
// vnstatd runs there too, with a configuration and database of its own.
// Prints for each window the CPU time per tick, Flowtally's own and each
// tool's (the tool runner's own accounting of its children); for the second
// the settings writes per hour and vnstatd's CPU time over the same time
// (from its scheduler statistics). Asserts nothing. Needs root, iproute2,
// nftables and vnstat.
//
// Usage: bench_silent_router [seconds of the second window, 10 to 600;
//                             default 120]
#include "app/AppDelegate.h"
#include "bench/Figures.h"
#include "platform/loop/MainLoop.h"
#include "tests/support/NetworkScene.h"
#include "platform/process/ProgramRun.h"
#include "net/SnmpEnvironment.h"
#include "tests/support/TestEnvironment.h"
#include "platform/system/UserDefaults.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace flowtally {

namespace {

constexpr int kDefaultSeconds = 120;
constexpr double kWarmUpSeconds = 5;
constexpr int kFirstMinute = 60;
// Seconds after the start from which a silent router is asked only once a
// minute (from about 93 s on) and the rates chart shows ten whole minutes.
constexpr double kSettledAfter = 610;
constexpr int kChunk = 16 * 1024; // bytes sent every kChunkGap: about 800 KB/s
constexpr auto kChunkGap = std::chrono::milliseconds(20);
const char *const kInsideFlag = "--inside";

double secondsOf(const timeval &time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// CPU seconds of this process (all threads) and of its reaped children.
struct CpuTimes {
    double self = 0, children = 0;
};

CpuTimes cpuTimes() {
    rusage self{};
    rusage children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    return {secondsOf(self.ru_utime) + secondsOf(self.ru_stime),
            secondsOf(children.ru_utime) + secondsOf(children.ru_stime)};
}

// CPU seconds of the calling thread.
double mainThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// A test world with this namespace's kernel tables, whose writes of the
// settings file are counted.
class CountedWrites : public TestEnvironment {
  public:
    QString routeTablePath() override { return target().routeTablePath(); }
    QString neighbourTablePath() override { return target().neighbourTablePath(); }
    QString bootIdPath() override { return target().bootIdPath(); }
    Status writeFileAtomically(const QString &path, const QByteArray &data) override {
        if (path.endsWith(QStringLiteral("/defaults.plist")))
            ++settingsWrites;
        return TestEnvironment::writeFileAtomically(path, data);
    }
    std::atomic<int> settingsWrites = 0;
};

// ---- Inside the LAN host's namespace: Flowtally ----

// Counts the paint events of every widget, by class and name.
class PaintCounter : public QObject {
  public:
    bool eventFilter(QObject *object, QEvent *event) override {
        if (event->type() == QEvent::Paint) {
            ++paints[QString::fromLatin1(object->metaObject()->className()) + QLatin1Char(' ') +
                     object->objectName()];
            ++total;
        }
        return false;
    }
    QHash<QString, int> paints;
    int total = 0;
};

// Measures Flowtally's cost over `seconds` of its running main loop and
// prints it under the window's name; `marked` tells the outside when the
// window starts and ends (vnstatd is measured over the same time).
void measureWindow(CountedWrites &environment, const std::string &window, int seconds,
                   bool marked) {
    const CpuTimes start = cpuTimes();
    const double mainStart = mainThreadSeconds();
    const QHash<QString, ProgramRun::ProgramCost> costsBefore = ProgramRun::programCosts();
    const int writesBefore = environment.settingsWrites;
    if (marked) {
        std::printf("measuring\n");
        std::fflush(stdout);
    }
    PaintCounter painted;
    qApp->installEventFilter(&painted);
    runMainLoopFor(seconds);
    qApp->removeEventFilter(&painted);
    const CpuTimes end = cpuTimes();
    const double mainThread = mainThreadSeconds() - mainStart;
    const QHash<QString, ProgramRun::ProgramCost> costs = ProgramRun::programCosts();
    const int writes = environment.settingsWrites - writesBefore;
    if (marked) {
        std::printf("measured\n");
        std::fflush(stdout);
    }

    struct Tool {
        QString name;
        quint64 runs = 0;
        double cpu = 0; // seconds
    };
    std::vector<Tool> tools;
    double toolsCpu = 0;
    quint64 ticks = 0;
    for (auto cost = costs.constBegin(); cost != costs.constEnd(); ++cost) {
        const ProgramRun::ProgramCost before = costsBefore.value(cost.key());
        const Tool tool{QFileInfo(cost.key()).fileName(), cost->runs - before.runs,
                        double((cost->cpu - before.cpu).count()) / 1e6};
        if (tool.runs == 0)
            continue;
        // Every tick with a silent router takes one local sample.
        if (tool.name == QStringLiteral("flowtally-netstat"))
            ticks = tool.runs;
        toolsCpu += tool.cpu;
        tools.push_back(tool);
    }
    const double own = end.self - start.self;
    const double children = end.children - start.children;
    const double perTick = ticks ? 1e3 / double(ticks) : 0;
    if (ticks == 0) {
        std::fprintf(stderr, "no local sample was taken; Flowtally's log:\n%s\n",
                     qPrintable(environment.logLines().join('\n')));
        for (auto cost = costs.constBegin(); cost != costs.constEnd(); ++cost)
            std::fprintf(stderr, "  %s: %llu runs\n", qPrintable(cost.key()),
                         static_cast<unsigned long long>(cost->runs));
    }
    std::printf("Flowtally, %s: %d s with a silent router and traffic, real timers: %llu ticks\n",
                window.c_str(), seconds, static_cast<unsigned long long>(ticks));
    std::printf("  CPU per tick, together       %8.3f ms\n", (own + children) * perTick);
    std::printf(
        "  CPU per tick, Flowtally      %8.3f ms (main thread %.3f ms, the others %.3f ms)\n",
        own * perTick, mainThread * perTick, (own - mainThread) * perTick);
    std::printf("  CPU per tick, its tools      %8.3f ms (children reaped: %.3f ms)\n",
                toolsCpu * perTick, children * perTick);
    for (const Tool &tool : tools)
        std::printf("    %-24s %8.3f ms a tick, %.2f runs a tick, %.3f ms a run\n",
                    qPrintable(tool.name), tool.cpu * perTick, double(tool.runs) / double(ticks),
                    tool.cpu * 1e3 / double(tool.runs));
    std::printf("  CPU in the minute, together  %8.1f ms\n", (own + children) * 60 / seconds * 1e3);
    std::printf("  settings writes              %d in %d s: %.0f an hour\n", writes, seconds,
                writes * 3600.0 / seconds);
    std::printf("  paint events a tick          %8.2f\n", painted.total * perTick / 1e3);
    for (auto widget = painted.paints.constBegin(); widget != painted.paints.constEnd(); ++widget)
        std::printf("    %-40s %6.2f\n", qPrintable(widget.key()), widget.value() * perTick / 1e3);

    printFigure("silent router, " + window + ": ticks a minute", double(ticks) * 60 / seconds, "",
                1);
    printFigure("silent router, " + window + ": CPU a tick, Flowtally and tools",
                (own + children) * perTick, "ms");
    printFigure("silent router, " + window + ": CPU a tick, Flowtally's own", own * perTick, "ms");
    printFigure("silent router, " + window + ": CPU a tick, Flowtally's main thread",
                mainThread * perTick, "ms");
    for (const Tool &tool : tools)
        printFigure("silent router, " + window + ": CPU a tick, " + tool.name.toStdString(),
                    tool.cpu * perTick, "ms");
    printFigure("silent router, " + window + ": CPU a minute, Flowtally and tools",
                (own + children) * 60 / seconds * 1e3, "ms", 1);
    printFigure("silent router, " + window + ": paint events a tick", painted.total * perTick / 1e3,
                "", 2);
    if (marked)
        printFigure("settings writes an hour, constant traffic", writes * 3600.0 / seconds, "", 0);
}

int inside(int argc, char **argv, int seconds) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    beginSnmpEnvironment(bundledMibFolder());
    // Settings, data and runtime files in a folder of its own.
    CountedWrites environment;
    AppDelegate controller;
    controller.mainWindowWidget()->show();
    controller.applicationDidFinishLaunching();
    // The first minute after a start, while the silent router is asked at
    // ever longer intervals; then the rest of the day, once those intervals
    // reached their longest (the probe after 2 + 4 + … + 32 ticks, about 93 s
    // after the start) and the rates chart is full.
    runMainLoopFor(kWarmUpSeconds);
    measureWindow(environment, "first minute", kFirstMinute, false);
    runMainLoopFor(std::max(0.0, kSettledAfter - kWarmUpSeconds - kFirstMinute));
    measureWindow(environment, "after ten minutes", seconds, true);
    std::fflush(stdout);
    controller.applicationShouldTerminate();
    return 0;
}

// ---- Outside: the scene, the traffic, vnstatd ----

// Nanoseconds on a processor of all the threads of a process, from
// /proc/PID/task/TID/schedstat (finer than /proc/PID/stat's clock ticks);
// -1 when it cannot be read.
double processRunNanoseconds(qint64 pid) {
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    const QStringList threads = QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (threads.isEmpty())
        return -1;
    double sum = 0;
    for (const QString &thread : threads)
        sum += readFile(tasks + '/' + thread + QStringLiteral("/schedstat"))
                   .split(' ')
                   .constFirst()
                   .toDouble();
    return sum;
}

// CPU seconds of a process and its reaped children, from /proc; -1 when
// it cannot be read.
double processCpuSeconds(qint64 pid) {
    const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return -1;
    // After the name: state (field 3) ... utime is field 14, cstime 17.
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    if (fields.size() < 15)
        return -1;
    double ticks = 0;
    for (int field = 14; field <= 17; ++field)
        ticks += fields[field - 3].toDouble();
    return ticks / double(::sysconf(_SC_CLK_TCK));
}

// Keeps data flowing from the LAN host to its router over a TCP
// connection until stopped.
class Traffic {
  public:
    explicit Traffic(const Lan &lan) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(7778);
        ::inet_pton(AF_INET, qPrintable(lan.router), &address.sin_addr);
        const auto at = reinterpret_cast<sockaddr *>(&address);
        const int listener = socketIn(lan.peer, SOCK_STREAM);
        client_ = socketIn(lan.lan, SOCK_STREAM);
        if (!::bind(listener, at, sizeof address) && !::listen(listener, 1) &&
            !::connect(client_, at, sizeof address))
            server_ = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        ::close(listener);
        if (server_ < 0)
            return;
        sender_ = std::jthread([this](std::stop_token stop) {
            const std::vector<char> chunk(kChunk, 't');
            while (!stop.stop_requested() &&
                   ::send(client_, chunk.data(), chunk.size(), MSG_NOSIGNAL) > 0) {
                sent_ += chunk.size();
                std::this_thread::sleep_for(kChunkGap);
            }
            ::shutdown(client_, SHUT_WR);
        });
        receiver_ = std::jthread([this] {
            std::vector<char> buffer(64 * 1024);
            while (::recv(server_, buffer.data(), buffer.size(), 0) > 0) {
            }
        });
    }
    ~Traffic() {
        sender_ = std::jthread();
        receiver_ = std::jthread();
        ::close(client_);
        ::close(server_);
    }
    Traffic(const Traffic &) = delete;
    Traffic &operator=(const Traffic &) = delete;
    bool flows() const { return server_ >= 0; }
    quint64 sent() const { return sent_; }

  private:
    int client_ = -1, server_ = -1;
    std::atomic<quint64> sent_ = 0;
    std::jthread sender_, receiver_;
};

int outside(const QString &self, int seconds) {
    for (const char *tool : {"/usr/sbin/nft", "/usr/sbin/vnstatd", "/usr/bin/snmpget"}) {
        if (::geteuid() != 0 || !QFileInfo(QString::fromLatin1(tool)).isExecutable()) {
            std::printf("needs root, nft, vnstatd and snmpget; nothing measured\n");
            return 0;
        }
    }
    Lan lan;
    if (!lan.error.isEmpty()) {
        std::printf("no scene: %s\n", qPrintable(lan.error));
        return 1;
    }
    // The router's SNMP port is closed to the host: snmpget's sends fail.
    const QString closed = sh(QStringLiteral("ip netns exec %1 nft -f - <<'EOF'\n"
                                             "table ip flowtally_bench {\n"
                                             "  chain out { type filter hook output priority 0;\n"
                                             "    udp dport 161 drop\n  }\n"
                                             "}\nEOF")
                                  .arg(lan.lan));
    if (!closed.isEmpty()) {
        std::printf("no firewall rule: %s\n", qPrintable(closed));
        return 1;
    }
    Traffic traffic(lan);
    if (!traffic.flows()) {
        std::printf("no traffic\n");
        return 1;
    }

    QTemporaryDir folder;
    const QString configuration = folder.filePath(QStringLiteral("vnstat.conf"));
    QFile file(configuration);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QStringLiteral("DatabaseDir \"%1\"\nPidFile \"%2\"\nUseLogging 0\n")
                       .arg(folder.filePath(QStringLiteral("vnstat")),
                            folder.filePath(QStringLiteral("vnstat.pid")))
                       .toUtf8()) <= 0)
        return 1;
    file.close();
    // `ip netns exec` becomes the program: the process ids are theirs.
    QProcess vnstatd;
    vnstatd.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    vnstatd.setStandardOutputFile(folder.filePath(QStringLiteral("vnstatd.out")));
    vnstatd.start(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("exec"), lan.lan,
                                         QStringLiteral("vnstatd"), QStringLiteral("-n"),
                                         QStringLiteral("--config"), configuration});
    QProcess flowtally;
    flowtally.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    flowtally.start(QStringLiteral("ip"),
                    {QStringLiteral("netns"), QStringLiteral("exec"), lan.lan, self,
                     QString::fromLatin1(kInsideFlag), QString::number(seconds)});
    if (!vnstatd.waitForStarted(10000) || !flowtally.waitForStarted(10000)) {
        std::printf("vnstatd or Flowtally did not start\n");
        return 1;
    }

    // The process that `ip netns exec` became.
    const qint64 vnstatPid = vnstatd.processId();
    double vnstatStart = -1, vnstatEnd = -1, vnstatRunStart = -1, vnstatRunEnd = -1;
    const QDeadlineTimer deadline(qint64(kSettledAfter + seconds + 60) * 1000);
    while (!deadline.hasExpired() &&
           (flowtally.state() != QProcess::NotRunning || flowtally.canReadLine())) {
        if (!flowtally.canReadLine() && !flowtally.waitForReadyRead(1000))
            continue;
        while (flowtally.canReadLine()) {
            const QByteArray line = flowtally.readLine();
            if (line == "measuring\n") {
                vnstatStart = processCpuSeconds(vnstatPid);
                vnstatRunStart = processRunNanoseconds(vnstatPid);
            } else if (line == "measured\n") {
                vnstatEnd = processCpuSeconds(vnstatPid);
                vnstatRunEnd = processRunNanoseconds(vnstatPid);
            } else
                std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
        }
    }
    std::fflush(stdout);
    if (flowtally.state() != QProcess::NotRunning) {
        flowtally.kill();
        flowtally.waitForFinished(5000);
    }
    const bool vnstatRan = vnstatd.state() == QProcess::Running &&
                           readFile(QStringLiteral("/proc/%1/comm").arg(vnstatPid)) == "vnstatd\n";
    vnstatd.terminate();
    if (!vnstatd.waitForFinished(5000)) {
        vnstatd.kill();
        vnstatd.waitForFinished(5000);
    }
    if (!vnstatRan || vnstatStart < 0 || vnstatEnd < 0) {
        std::printf("vnstatd did not run through the minute\n");
        return 1;
    }
    const double vnstatMs = (vnstatEnd - vnstatStart) * 1e3;
    const double vnstatRunMs = (vnstatRunEnd - vnstatRunStart) / 1e6;
    std::printf("vnstatd, the same %d s on the same interface (its default intervals):\n"
                "  CPU in the minute            %8.1f ms (schedstat; /proc/PID/stat in %ld ms "
                "steps: %.0f ms)\n"
                "traffic sent over the link: %.1f MB\n",
                seconds, vnstatRunMs * 60 / seconds, 1000 / ::sysconf(_SC_CLK_TCK),
                vnstatMs * 60 / seconds, double(traffic.sent()) / 1e6);
    printFigure("vnstatd beside it: CPU a minute", vnstatRunMs * 60 / seconds, "ms", 1);
    return 0;
}

} // namespace

} // namespace flowtally

int main(int argc, char **argv) {
    using namespace flowtally;
    const bool within = argc > 1 && std::string(argv[1]) == kInsideFlag;
    const int at = within ? 2 : 1;
    const int seconds = argc > at ? std::clamp(std::atoi(argv[at]), 10, 600) : kDefaultSeconds;
    if (within)
        return inside(argc, argv, seconds);
    QCoreApplication application(argc, argv);
    return outside(QCoreApplication::applicationFilePath(), seconds);
}
