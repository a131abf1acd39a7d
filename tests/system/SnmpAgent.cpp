#include "SnmpAgent.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <chrono>
#include <csignal>

namespace {

using Clock = std::chrono::steady_clock;

const QString kDaemon = QStringLiteral("/usr/sbin/snmpd");
constexpr std::chrono::seconds kStartWait{10};
constexpr int kStopWaitMs = 5000;
// snmpd says so once its ports are open.
const QString kServing = QStringLiteral("NET-SNMP version");

} // namespace

SnmpAgent::SnmpAgent(const NetworkNamespace &network, const QString &address,
                     const QString &clients)
    : network_(network), address_(address), clients_(clients) {}

SnmpAgent::~SnmpAgent() {
    if (isRunning() && !stop())
        sendSignal(SIGKILL);
}

QString SnmpAgent::unavailableReason() {
    if (!QFileInfo(kDaemon).isExecutable())
        return QStringLiteral("snmpd is not installed");
    if (!QFileInfo::exists(QDir(moduleFolder()).filePath(QStringLiteral("IF-MIB.txt"))))
        return QStringLiteral("no modules in %1").arg(moduleFolder());
    return {};
}

QString SnmpAgent::moduleFolder() {
    const QString bin =
        qEnvironmentVariable("FLOWTALLY_BIN_DIR", QCoreApplication::applicationDirPath());
    return QDir::cleanPath(bin + QStringLiteral("/../share/flowtally/mibs"));
}

bool SnmpAgent::start(const QString &community, QString *error) {
    if (isRunning()) {
        *error = QStringLiteral("snmpd runs already");
        return false;
    }
    const QString configuration = folder_.filePath(QStringLiteral("snmpd.conf"));
    QFile file(configuration);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("cannot write %1").arg(configuration);
        return false;
    }
    file.write(QStringLiteral("rocommunity %1 %2\n"
                              "agentaddress udp:%3:161\n"
                              "sysname %4\n"
                              "dontLogTCPWrappersConnects yes\n")
                   .arg(community, clients_, address_, kSystemName)
                   .toUtf8());
    file.close();

    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/sbin:/usr/bin:/sbin:/bin"));
    environment.insert(QStringLiteral("MIBDIRS"), moduleFolder());
    environment.insert(QStringLiteral("MIBS"), QStringLiteral("SNMPv2-MIB:IF-MIB"));
    environment.insert(QStringLiteral("SNMP_PERSISTENT_DIR"),
                       folder_.filePath(QStringLiteral("state")));
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setStandardOutputFile(folder_.filePath(QStringLiteral("snmpd.log")),
                                   QIODevice::Append);
    process_.setStandardInputFile(QProcess::nullDevice());
    const QString pidFile = folder_.filePath(QStringLiteral("snmpd.pid"));
    QFile::remove(pidFile);
    // `ip netns exec` becomes snmpd, which stays in the foreground.
    process_.start(QStringLiteral("ip"), {"netns", "exec", network_.name(), kDaemon, "-f", "-Lo",
                                          "-C", "-c", configuration, "-p", pidFile});
    if (!process_.waitForStarted(kStopWaitMs)) {
        *error = QStringLiteral("snmpd did not start: %1").arg(process_.errorString());
        return false;
    }
    pid_ = static_cast<pid_t>(process_.processId());

    const Clock::time_point deadline = Clock::now() + kStartWait;
    const int startedLogs = log().count(kServing);
    while (Clock::now() < deadline) {
        if (!isRunning()) {
            *error = QStringLiteral("snmpd ended at once: %1").arg(log());
            return false;
        }
        QFile written(pidFile);
        if (log().count(kServing) > startedLogs && written.open(QIODevice::ReadOnly)) {
            if (written.readAll().trimmed().toLongLong() == pid_)
                return true;
            *error = QStringLiteral("snmpd wrote another pid than %1").arg(pid_);
            return false;
        }
        QThread::msleep(20);
    }
    *error = QStringLiteral("snmpd never served: %1").arg(log());
    return false;
}

bool SnmpAgent::isRunning() {
    return process_.state() != QProcess::NotRunning && !process_.waitForFinished(0);
}

bool SnmpAgent::sendSignal(int number) {
    return pid_ > 0 && isRunning() && ::kill(pid_, number) == 0;
}

bool SnmpAgent::stop() {
    if (!isRunning())
        return true;
    // A frozen agent must go on to take its end.
    sendSignal(SIGCONT);
    sendSignal(SIGTERM);
    if (!process_.waitForFinished(kStopWaitMs)) {
        sendSignal(SIGKILL);
        process_.waitForFinished(kStopWaitMs);
    }
    return !isRunning();
}

bool SnmpAgent::freeze() {
    return sendSignal(SIGSTOP);
}

bool SnmpAgent::thaw() {
    return sendSignal(SIGCONT);
}

QString SnmpAgent::log() const {
    QFile file(folder_.filePath(QStringLiteral("snmpd.log")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
