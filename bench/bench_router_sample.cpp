// The cost of one router sample (routerStats: four snmpget and two snmpwalk
// runs) against a real snmpd. The agent serves on 127.0.0.1 inside a
// network namespace of the benchmark's own, beside an interface named
// vlan1; this thread enters that namespace, so that the tools it starts run
// there and nothing reaches another network. Prints medians of wall time and
// CPU time (this thread's, and the tools' own); asserts nothing. Needs root,
// iproute2 and snmpd.
#include "AppDelegate.h"
#include "MainLoop.h"
#include "SnmpEnvironment.h"
#include "TestEnvironment.h"
#include "UserDefaults.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace flowtally {

namespace {

constexpr int kSamples = 100;
const QString kCommunity = QStringLiteral("bench");
const QString kAgent = QStringLiteral("127.0.0.1");
constexpr int kWaitMs = 10000;

bool run(const QString &program, const QStringList &arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(kWaitMs)) {
        process.kill();
        process.waitForFinished(kWaitMs);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// The namespace with loopback and a vlan1 (one end of a veth pair), its
// empty resolver file, and snmpd in it; all removed again on destruction.
class Scene {
  public:
    Scene() : name_(QStringLiteral("ftbench-%1").arg(::getpid())) {}
    ~Scene() {
        if (agent_.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(agent_.processId()), SIGTERM);
            if (!agent_.waitForFinished(kWaitMs)) {
                ::kill(static_cast<pid_t>(agent_.processId()), SIGKILL);
                agent_.waitForFinished(kWaitMs);
            }
        }
        if (made_)
            run(QStringLiteral("ip"), {"netns", "delete", name_});
        QFile::remove(resolverFolder() + QStringLiteral("/resolv.conf"));
        QDir().rmdir(resolverFolder());
    }
    Scene(const Scene &) = delete;
    Scene &operator=(const Scene &) = delete;

    // Builds it; what failed, or nothing.
    QString build() {
        if (!QDir().mkpath(resolverFolder()))
            return QStringLiteral("cannot make %1").arg(resolverFolder());
        QFile resolver(resolverFolder() + QStringLiteral("/resolv.conf"));
        if (!resolver.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QStringLiteral("cannot write %1").arg(resolver.fileName());
        resolver.close();
        made_ = run(QStringLiteral("ip"), {"netns", "add", name_});
        const QStringList steps[] = {
            {"link", "set", "lo", "up"},
            {"link", "add", "vlan1", "type", "veth", "peer", "name", "wan0"},
            {"link", "set", "vlan1", "up"},
            {"link", "set", "wan0", "up"},
        };
        for (const QStringList &step : steps) {
            if (!made_ || !run(QStringLiteral("ip"), QStringList{"-n", name_} + step))
                return QStringLiteral("ip %1 failed").arg(step.join(' '));
        }
        return startAgent();
    }

    // This thread's network namespace becomes the scene's.
    bool enter() const {
        const int handle = ::open(path().toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
        if (handle < 0)
            return false;
        const bool entered = ::setns(handle, CLONE_NEWNET) == 0;
        ::close(handle);
        return entered && isCurrent();
    }
    bool isCurrent() const {
        struct stat mine {
        }, scene{};
        return ::stat("/proc/thread-self/ns/net", &mine) == 0 &&
               ::stat(path().toLocal8Bit().constData(), &scene) == 0 &&
               mine.st_ino == scene.st_ino && mine.st_dev == scene.st_dev;
    }

  private:
    QString resolverFolder() const { return QStringLiteral("/etc/netns/") + name_; }
    QString path() const { return QStringLiteral("/var/run/netns/") + name_; }

    QString startAgent() {
        const QString configuration = folder_.filePath(QStringLiteral("snmpd.conf"));
        QFile file(configuration);
        if (!file.open(QIODevice::WriteOnly))
            return QStringLiteral("cannot write %1").arg(configuration);
        file.write(QStringLiteral("rocommunity %1 %2/32\nagentaddress udp:%2:161\n"
                                  "sysname benchrouter\ndontLogTCPWrappersConnects yes\n")
                       .arg(kCommunity, kAgent)
                       .toUtf8());
        file.close();
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("MIBDIRS"), bundledMibFolder());
        environment.insert(QStringLiteral("MIBS"), QStringLiteral("SNMPv2-MIB:IF-MIB"));
        environment.insert(QStringLiteral("SNMP_PERSISTENT_DIR"),
                           folder_.filePath(QStringLiteral("state")));
        agent_.setProcessEnvironment(environment);
        agent_.setProcessChannelMode(QProcess::MergedChannels);
        agent_.start(QStringLiteral("ip"),
                     {"netns", "exec", name_, "/usr/sbin/snmpd", "-f", "-Lo", "-C", "-c",
                      configuration, "-p", folder_.filePath(QStringLiteral("snmpd.pid"))});
        QByteArray log;
        for (int waited = 0; waited < kWaitMs && !log.contains("NET-SNMP version"); waited += 50) {
            if (!agent_.waitForReadyRead(50) && agent_.state() == QProcess::NotRunning)
                return QStringLiteral("snmpd ended: %1").arg(QString::fromUtf8(log));
            log += agent_.readAll();
        }
        return log.contains("NET-SNMP version") ? QString() : QStringLiteral("snmpd never served");
    }

    const QString name_;
    bool made_ = false;
    QTemporaryDir folder_;
    QProcess agent_;
};

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

    Scene scene;
    const QString failure = scene.build();
    if (!failure.isEmpty() || !scene.enter()) {
        std::printf("no scene: %s\n", qPrintable(failure.isEmpty() ? "setns failed" : failure));
        return 1;
    }
    // The agent is the router of the kernel's tables; settings in a folder
    // of the environment's own.
    TestEnvironment environment;
    environment.setNetwork(FakeNetwork{QStringLiteral("eth0"), kAgent});
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
    for (int i = 0; i < kSamples && scene.isCurrent(); ++i) {
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
                qPrintable(kAgent), wall.size(), failed);
    std::printf("%-40s %10.2f\n", "wall time of one sample", median(wall) / 1e3);
    std::printf("%-40s %10.2f\n", "wall time per tool run", median(wall) / 6e3);
    std::printf("%-40s %10.2f\n", "CPU time, Flowtally's thread", median(ownCpu) / 1e3);
    std::printf("%-40s %10.2f\n", "CPU time, the six tools together", median(toolsCpu) / 1e3);
    return failed == 0 ? 0 : 1;
}
