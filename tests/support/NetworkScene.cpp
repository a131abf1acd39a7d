#include "tests/support/NetworkScene.h"

#include "tests/support/CommandRun.h"
#include "tests/support/PlantedFiles.h"
#include "tests/support/ProcessProbe.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace flowtally {

constexpr int kWaitMs = 20000;

QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString namespacesScript(const QString &prefix, const QStringList &names) {
    // Namespaces left by test processes that died are swept; another test
    // sweeping at the same time may remove one first.
    QString script =
        QStringLiteral("set -e\nfor f in /var/run/netns/%1*; do n=${f##*/}; "
                       "p=${n#%1}; [ ! -e $f ] || [ -d /proc/${p%%-*} ] || { ip netns "
                       "delete $n 2>/dev/null || true; rm -rf /etc/netns/$n; }; done\n")
            .arg(prefix);
    for (const QString &ns : names)
        script += QStringLiteral("mkdir -p /etc/netns/%1; : > /etc/netns/%1/resolv.conf; ip netns "
                                 "add %1; ip -n %1 link set lo up\nip netns exec %1 sysctl -qw "
                                 "net.ipv6.conf.all.disable_ipv6=1 "
                                 "net.ipv6.conf.default.disable_ipv6=1\n")
                      .arg(ns);
    return script;
}

void removeNamespaces(const QStringList &names) {
    for (const QString &ns : names)
        sh(QStringLiteral("[ ! -e /var/run/netns/%1 ] || ip netns delete %1; rm -rf "
                          "/etc/netns/%1; rmdir /etc/netns 2>/dev/null; true")
               .arg(ns));
}

QList<quint64> interfaceStatistics(const QString &ns, const QString &interface,
                                   const QStringList &names) {
    QString output;
    sh(QStringLiteral("ip netns exec %1 sh -c 'cd /sys/class/net/%2/statistics && cat %3'")
           .arg(ns, interface, names.join(' ')),
       &output);
    const QStringList lines = output.split('\n', Qt::SkipEmptyParts);
    QList<quint64> values;
    for (qsizetype i = 0; i < names.size(); ++i)
        values.append(lines.value(i).toULongLong());
    return values;
}

QString sh(const QString &script, QString *output) {
    const CommandResult result = runCommand("sh", {"-c", script});
    if (output)
        *output = result.output;
    return result.finished && result.exitCode == 0 ? QString() : script + ": " + result.error;
}

Lan::Lan(const Shape &shapeOfIt) : shape(shapeOfIt) {
    static int made = 0;
    const int n = 10 + made++ % 200;
    const QString tag = QStringLiteral("ftsys-%1-%2-").arg(QCoreApplication::applicationPid());
    lan = tag.arg(n) + "lan";
    peer = tag.arg(n) + "peer";
    host = QStringLiteral("10.77.%1.2").arg(n);
    router = QStringLiteral("10.77.%1.1").arg(n);
    const QString mac = QStringLiteral("02:00:5e:77:%1:0").arg(n, 2, 16, QChar('0'));
    hostHardware = mac + '2';
    routerHardware = mac + '1';
    error = sh(namespacesScript(QStringLiteral("ftsys-"), {lan, peer}) + linkScript(0));
}

QString Lan::linkScript(int index) const {
    const QString mtu = shape.mtu > 0 ? QStringLiteral(" mtu %1").arg(shape.mtu) : QString();
    const QString at = index > 0 ? QStringLiteral(" index %1").arg(index) : QString();
    return QStringLiteral(R"(set -e; L=%1 P=%2 H=%3 R=%4 HI=%5 RI=%6
ip -n $L link add $HI%7 address %8%9 type veth peer name $RI netns $P address %10
ip -n $L address add $H/24 dev $HI; ip -n $P address add $R/24 dev $RI
ip -n $L neigh replace $R lladdr %10 dev $HI nud permanent
ip -n $P neigh replace $H lladdr %8 dev $RI nud permanent
ip -n $L link set $HI up; ip -n $P link set $RI up
ip -n $L route add default via $R dev $HI)")
        .arg(lan, peer, host, router, shape.hostInterface, shape.routerInterface, at, hostHardware,
             mtu, routerHardware);
}

QString Lan::remakeLink(int index) {
    const QString removed =
        sh(QStringLiteral("ip -n %1 link delete %2").arg(lan, shape.hostInterface));
    return removed.isEmpty() ? sh(linkScript(index)) : removed;
}

int Lan::hostIndex() const {
    QString output;
    sh(QStringLiteral("ip netns exec %1 cat /sys/class/net/%2/ifindex")
           .arg(lan, shape.hostInterface),
       &output);
    return output.trimmed().toInt();
}

InterfaceCounters Lan::counters(const QString &ns, const QString &interface) {
    const QList<quint64> bytes = interfaceStatistics(ns, interface, {"rx_bytes", "tx_bytes"});
    return {bytes[0], bytes[1]};
}

bool enterNamespace(const QString &ns) {
    const int handle = ::open(qPrintable("/var/run/netns/" + ns), O_RDONLY | O_CLOEXEC);
    const bool entered = handle >= 0 && ::setns(handle, CLONE_NEWNET) == 0;
    if (handle >= 0)
        ::close(handle);
    return entered;
}

int socketIn(const QString &ns, int type, int family) {
    int made = -1;
    std::thread([&] {
        if (enterNamespace(ns))
            made = ::socket(family, type | SOCK_CLOEXEC, 0);
    }).join();
    setTimeouts(made, 5);
    return made;
}

void setTimeouts(int socket, int seconds) {
    const timeval timeout{seconds, 0};
    for (const int option : {SO_RCVTIMEO, SO_SNDTIMEO})
        ::setsockopt(socket, SOL_SOCKET, option, &timeout, sizeof timeout);
}

TcpConnection connectTcp(const QString &serverNs, const QString &clientNs, const QString &address,
                         quint16 port) {
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    ::inet_pton(AF_INET, qPrintable(address), &at.sin_addr);
    const auto *where = reinterpret_cast<const sockaddr *>(&at);
    const int listener = socketIn(serverNs, SOCK_STREAM);
    const int reuse = 1; // the port of a connection before may still wait
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    TcpConnection made{socketIn(clientNs, SOCK_STREAM), -1};
    if (!::bind(listener, where, sizeof at) && !::listen(listener, 1) &&
        !::connect(made.client, where, sizeof at))
        made.server = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    ::close(listener);
    if (made.server < 0) {
        ::close(made.client);
        made.client = -1;
    }
    return made;
}

bool transferBytes(int socket, quint64 bytes, bool sending) {
    static const char zeros[65536] = {};
    for (quint64 done = 0; done < bytes;) {
        const size_t size = size_t(std::min<quint64>(bytes - done, sizeof zeros));
        const ssize_t moved = sending ? ::send(socket, zeros, size, MSG_NOSIGNAL)
                                      : ::recv(socket, nullptr, size, MSG_TRUNC);
        if (moved == 0 || (moved < 0 && errno != EINTR))
            return false;
        done += quint64(std::max<ssize_t>(moved, 0));
    }
    return true;
}

bool moveBytes(int from, int to, quint64 bytes) {
    bool sent = false;
    std::thread writer([&] { sent = transferBytes(from, bytes, true); });
    const bool taken = transferBytes(to, bytes, false);
    writer.join();
    return sent && taken;
}

std::unique_ptr<QProcess> startLogged(const QString &program, const QStringList &arguments,
                                      const QString &logPath) {
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(logPath, QIODevice::Append);
    process->start(program, arguments);
    process->waitForStarted(kWaitMs);
    return process;
}

QString waitForLog(QProcess &process, const QString &logPath, const QByteArray &text,
                   qsizetype before, const QString &who) {
    const auto served = [&] { return readFile(logPath).count(text) > before; };
    if (pollUntil([&] { return served() || !isRunning(process); }, kWaitMs / 50, 50))
        return served() ? QString() : who + " ended at start: " + readFile(logPath);
    return who + " never served";
}

bool isRunning(QProcess &process) {
    return process.state() != QProcess::NotRunning && !process.waitForFinished(0);
}

bool signalProcess(QProcess &process, int number) {
    return isRunning(process) && ::kill(pid_t(process.processId()), number) == 0;
}

bool endProcess(QProcess &process, int number) {
    if (process.state() == QProcess::NotRunning)
        return true;
    const pid_t pid = pid_t(process.processId());
    ::kill(pid, SIGCONT);
    ::kill(pid, number);
    if (process.waitForFinished(kWaitMs))
        return true;
    ::kill(pid, SIGKILL);
    process.waitForFinished(kWaitMs);
    return false;
}

SnmpAgent::SnmpAgent(const Lan &lan, QString modules, QString stateFolder, QString logPath,
                     QString sysName)
    : lan_(lan), modules_(std::move(modules)), stateFolder_(std::move(stateFolder)),
      logPath_(std::move(logPath)), sysName_(std::move(sysName)) {}

QString SnmpAgent::start(const QString &community) {
    stop();
    const QString file = QDir(stateFolder_).filePath(QStringLiteral("snmpd.conf"));
    const QString conf = QStringLiteral("agentaddress udp:%1:161\nsysname %2\nrocommunity %3 %4\n")
                             .arg(lan_.router, sysName_, community, lan_.host);
    if (!QDir().mkpath(stateFolder_) || !makeFile(file, conf.toUtf8(), 0600))
        return QStringLiteral("cannot write %1").arg(file);

    const qsizetype started = readFile(logPath_).count("NET-SNMP version");
    process_ = startLogged(QStringLiteral("ip"),
                           {"netns", "exec", lan_.peer, "env", "MIBDIRS=" + modules_,
                            "MIBS=SNMPv2-MIB:IF-MIB", "SNMP_PERSISTENT_DIR=" + stateFolder_,
                            "/usr/sbin/snmpd", "-f", "-Lo", "-C", "-c", file},
                           logPath_);
    return waitForLog(*process_, logPath_, "NET-SNMP version", started, QStringLiteral("snmpd"));
}

} // namespace flowtally
