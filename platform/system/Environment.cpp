#include "platform/system/Environment.h"

#include "platform/system/FileReplacement.h"
#include "platform/system/KernelTables.h"
#include "platform/system/SystemLog.h"
#include "platform/system/ToolPaths.h"
#include "platform/system/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace flowtally {

namespace {

constexpr std::chrono::milliseconds kToolTimeout{30000};

std::atomic<Environment *> installed{nullptr};

// A folder named by an XDG variable, else the fallback below the home folder.
QString xdgFolder(const char *variable, const QString &fallback) {
    const QString folder = qEnvironmentVariable(variable);
    if (folder.isEmpty() || QDir::isRelativePath(folder))
        return QDir::homePath() + fallback;
    return folder;
}

} // namespace

Environment &Environment::system() {
    static Environment systemEnvironment;
    return systemEnvironment;
}

Environment &Environment::current() {
    Environment *environment = installed.load(std::memory_order_acquire);
    return environment ? *environment : system();
}

QString Environment::toolPath(const QString &tool) {
    return platformToolPath(tool);
}

std::chrono::milliseconds Environment::toolTimeout() {
    return kToolTimeout;
}

std::chrono::milliseconds Environment::settingsWriteInterval() {
    bool isNumber = false;
    const int shortened =
        qEnvironmentVariableIntValue("FLOWTALLY_TEST_WRITE_INTERVAL_MS", &isNumber);
    if (isNumber && shortened > 0 && shortened < UserDefaults::kWriteInterval.count())
        return std::chrono::milliseconds(shortened);
    return UserDefaults::kWriteInterval;
}

QString Environment::routeTablePath() {
    return QString::fromLatin1(kKernelRouteTable);
}

QString Environment::neighbourTablePath() {
    return QString::fromLatin1(kKernelNeighbourTable);
}

QString Environment::bootIdPath() {
    return QStringLiteral("/proc/sys/kernel/random/boot_id");
}

QString Environment::interfacesFolder() {
    return QStringLiteral("/sys/class/net");
}

QString Environment::hostName() {
    return QSysInfo::machineHostName();
}

bool Environment::mayAskRoutersOverUpnp() {
    return true;
}

QString Environment::accountdSocket() {
    return QString();
}

QDBusConnection Environment::systemBus() {
    return QDBusConnection::systemBus();
}

QDBusConnection Environment::sessionBus() {
    return QDBusConnection::sessionBus();
}

QDateTime Environment::now() {
    return QDateTime::currentDateTimeUtc();
}

QTimeZone Environment::timeZone() {
    return QTimeZone::systemTimeZone();
}

QString Environment::configFolder() {
    return xdgFolder("XDG_CONFIG_HOME", QStringLiteral("/.config"));
}

QString Environment::dataFolder() {
    return xdgFolder("XDG_DATA_HOME", QStringLiteral("/.local/share"));
}

QString Environment::runtimeFolder() {
    const QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return folder.isEmpty() || QDir::isRelativePath(folder) ? QString() : folder;
}

QString Environment::ownRuntimeFolder() {
    // Named after this computer: a home shared by several keeps their locks apart.
    QString computer = QString::fromLatin1(QSysInfo::machineUniqueId().left(8));
    if (computer.isEmpty())
        computer = hostName();
    return xdgFolder("XDG_CACHE_HOME", QStringLiteral("/.cache")) +
           QStringLiteral("/flowtally/runtime-") + computer;
}

Status Environment::writeFileAtomically(const QString &path, const QByteArray &data) {
    const QFileInfo file(path);
    const QString folder = file.absolutePath();
    if (!QDir().mkpath(folder))
        return Status::ioError(QStringLiteral("cannot make the folder %1").arg(folder));
    const int folderFd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0)
        return Status::systemError(QStringLiteral("cannot open the folder %1").arg(folder), errno);
    const Status status = replaceFileIn(folderFd, file.fileName(), data, path);
    ::close(folderFd);
    return status;
}

void Environment::log(const QString &line) {
    writeToSystemLog(line);
}

ScopedEnvironment::ScopedEnvironment(Environment &environment)
    : previous_(installed.exchange(&environment, std::memory_order_acq_rel)) {
    UserDefaults::resetStandardUserDefaults();
}

ScopedEnvironment::~ScopedEnvironment() {
    UserDefaults::resetStandardUserDefaults();
    installed.store(previous_, std::memory_order_release);
}

} // namespace flowtally
