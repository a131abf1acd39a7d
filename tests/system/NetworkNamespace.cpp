#include "NetworkNamespace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <atomic>
#include <fcntl.h>
#include <mutex>
#include <sched.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

const QString kIp = QStringLiteral("ip");
const QString kNamePrefix = QStringLiteral("ftsys-");
const QString kNamespaceFolder = QStringLiteral("/var/run/netns");
// `ip netns exec NAME` binds every file of /etc/netns/NAME over /etc.
const QString kPerNamespaceEtc = QStringLiteral("/etc/netns");

std::atomic<int> namespacesMade{0};

QString resolverFolder(const QString &name) {
    return kPerNamespaceEtc + QLatin1Char('/') + name;
}

bool succeeded(const CommandResult &result) {
    return result.finished && result.exitCode == 0;
}

} // namespace

QString NetworkNamespace::unavailableReason() {
    if (geteuid() != 0)
        return QStringLiteral("network namespaces need root");
    if (QStandardPaths::findExecutable(kIp).isEmpty())
        return QStringLiteral("the ip tool (iproute2) is missing");
    return {};
}

void NetworkNamespace::removeLeftovers() {
    const QStringList names =
        QDir(kNamespaceFolder).entryList({kNamePrefix + QLatin1Char('*')}, QDir::Files);
    for (const QString &name : names) {
        const QString pid = name.section(QLatin1Char('-'), 1, 1);
        if (pid.isEmpty() || QFile::exists(QStringLiteral("/proc/") + pid))
            continue;
        runCommand(kIp, {"netns", "delete", name});
        QFile::remove(resolverFolder(name) + QStringLiteral("/resolv.conf"));
        QDir().rmdir(resolverFolder(name));
    }
}

NetworkNamespace::NetworkNamespace(const QString &role)
    : name_(QStringLiteral("%1%2-%3-%4")
                .arg(kNamePrefix)
                .arg(QCoreApplication::applicationPid())
                .arg(namespacesMade.fetch_add(1))
                .arg(role)) {
    failure_ = unavailableReason();
    if (!failure_.isEmpty())
        return;
    static std::once_flag leftoversRemoved;
    std::call_once(leftoversRemoved, removeLeftovers);

    // The resolver file first: nothing may run inside before it is there.
    QDir().mkpath(resolverFolder(name_));
    QFile resolver(resolverFolder(name_) + QStringLiteral("/resolv.conf"));
    if (!resolver.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        failure_ = QStringLiteral("cannot write %1").arg(resolver.fileName());
        return;
    }
    resolver.close();

    const CommandResult added = runCommand(kIp, {"netns", "add", name_});
    if (!succeeded(added)) {
        failure_ = QStringLiteral("ip netns add %1 failed: %2").arg(name_, added.error);
        return;
    }
    // Off before any interface exists here, so that none of them ever
    // speaks IPv6 ("default" covers the interfaces made later).
    const CommandResult sysctl =
        exec(QStringLiteral("sysctl"), {"-q", "-w", "net.ipv6.conf.all.disable_ipv6=1",
                                        "net.ipv6.conf.default.disable_ipv6=1"});
    if (!succeeded(sysctl)) {
        failure_ = QStringLiteral("turning IPv6 off in %1 failed: %2").arg(name_, sysctl.error);
        return;
    }
    QString error;
    if (!ip({"link", "set", "lo", "up"}, &error))
        failure_ = error;
}

NetworkNamespace::~NetworkNamespace() {
    remove();
}

void NetworkNamespace::remove() {
    if (QFile::exists(kNamespaceFolder + QLatin1Char('/') + name_))
        runCommand(kIp, {"netns", "delete", name_});
    QFile::remove(resolverFolder(name_) + QStringLiteral("/resolv.conf"));
    QDir().rmdir(resolverFolder(name_));
    // The shared folder goes too once no namespace of anybody uses it.
    QDir().rmdir(kPerNamespaceEtc);
}

bool NetworkNamespace::ip(const QStringList &arguments, QString *error) const {
    const CommandResult result = runCommand(kIp, QStringList{"-n", name_} + arguments);
    if (succeeded(result))
        return true;
    if (error) {
        *error = QStringLiteral("ip -n %1 %2 failed: %3")
                     .arg(name_, arguments.join(QLatin1Char(' ')), result.error.trimmed());
    }
    return false;
}

CommandResult NetworkNamespace::exec(const QString &program, const QStringList &arguments) const {
    return runCommand(kIp, QStringList{"netns", "exec", name_, program} + arguments);
}

std::optional<InterfaceCounters> NetworkNamespace::counters(const QString &interface) const {
    const QString folder = QStringLiteral("/sys/class/net/%1/statistics/").arg(interface);
    const CommandResult result =
        exec(QStringLiteral("cat"), {folder + "rx_bytes", folder + "tx_bytes"});
    if (!succeeded(result))
        return std::nullopt;
    const QStringList lines = result.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.size() != 2)
        return std::nullopt;
    bool receivedRead = false, sentRead = false;
    InterfaceCounters counters{lines[0].toULongLong(&receivedRead),
                               lines[1].toULongLong(&sentRead)};
    if (!receivedRead || !sentRead)
        return std::nullopt;
    return counters;
}

int NetworkNamespace::makeSocket(int domain, int type) const {
    // A socket belongs to the namespace of the thread that makes it; a
    // thread of its own enters the namespace and ends with it.
    int made = -1;
    const QByteArray path = (kNamespaceFolder + QLatin1Char('/') + name_).toLocal8Bit();
    std::thread maker([&] {
        const int handle = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (handle < 0)
            return;
        if (::setns(handle, CLONE_NEWNET) == 0)
            made = ::socket(domain, type | SOCK_CLOEXEC, 0);
        ::close(handle);
    });
    maker.join();
    return made;
}
