#include "FlowtallyProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QThread>

#include <chrono>
#include <csignal>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kStartWaitMs = 10000;
// Quitting waits for a running sample (a tool may take a second or two).
constexpr int kQuitWaitMs = 20000;
constexpr int kKillWaitMs = 5000;
const QString kLogPrefix = QStringLiteral("flowtally: ");

} // namespace

FlowtallyProcess::FlowtallyProcess(const NetworkNamespace &network, const QString &configHome,
                                   const QString &logPath)
    : network_(network), configHome_(configHome), logPath_(logPath) {}

FlowtallyProcess::~FlowtallyProcess() {
    if (isRunning())
        kill();
}

QString FlowtallyProcess::programPath() {
    const QString folder =
        qEnvironmentVariable("FLOWTALLY_BIN_DIR", QCoreApplication::applicationDirPath());
    return QDir(folder).absoluteFilePath(QStringLiteral("flowtally"));
}

bool FlowtallyProcess::start(QString *error) {
    const QString program = programPath();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome_);
    process_.setProcessEnvironment(environment);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setStandardOutputFile(logPath_, QIODevice::Truncate);
    process_.setStandardInputFile(QProcess::nullDevice());
    process_.start(QStringLiteral("ip"), {"netns", "exec", network_.name(), program});
    if (!process_.waitForStarted(kStartWaitMs)) {
        *error = QStringLiteral("ip netns exec did not start: %1").arg(process_.errorString());
        return false;
    }
    pid_ = static_cast<pid_t>(process_.processId());

    // `ip` enters the namespace and then replaces itself with Flowtally.
    const QString wanted = QFileInfo(program).canonicalFilePath();
    const QString executable = QStringLiteral("/proc/%1/exe").arg(pid_);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kStartWaitMs);
    while (Clock::now() < deadline) {
        if (!isRunning()) {
            *error = QStringLiteral("it ended at once (status %1): %2")
                         .arg(process_.exitCode())
                         .arg(output());
            return false;
        }
        if (QFileInfo(executable).canonicalFilePath() == wanted)
            return true;
        QThread::msleep(20);
    }
    *error = QStringLiteral("process %1 never became %2").arg(pid_).arg(wanted);
    return false;
}

bool FlowtallyProcess::isRunning() {
    if (process_.state() == QProcess::NotRunning)
        return false;
    return !process_.waitForFinished(0);
}

bool FlowtallyProcess::signalAndWait(int signalNumber, int waitMs) {
    if (!isRunning())
        return true;
    ::kill(pid_, signalNumber);
    process_.waitForFinished(waitMs);
    return process_.state() == QProcess::NotRunning;
}

bool FlowtallyProcess::terminate() {
    return signalAndWait(SIGTERM, kQuitWaitMs);
}

bool FlowtallyProcess::kill() {
    return signalAndWait(SIGKILL, kKillWaitMs);
}

bool FlowtallyProcess::exitedByItself() const {
    return process_.state() == QProcess::NotRunning &&
           process_.exitStatus() == QProcess::NormalExit;
}

QString FlowtallyProcess::output() const {
    QFile file(logPath_);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QStringList FlowtallyProcess::logLines() const {
    QStringList lines;
    for (const QString &line : output().split(QLatin1Char('\n'))) {
        if (line.startsWith(kLogPrefix))
            lines << line.mid(kLogPrefix.size());
    }
    return lines;
}

QStringList FlowtallyProcess::logLinesContaining(const QString &text) const {
    return logLines().filter(text);
}
