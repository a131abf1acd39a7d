#include "tests/support/IgdScene.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace flowtally {

constexpr quint16 kPushPort = 7788;

bool IgdScene::canPlay() {
    return ::geteuid() == 0 && QFileInfo::exists(QStringLiteral("/usr/sbin/miniupnpd"));
}

IgdScene::IgdScene() {
    internet = QString(lan.peer).replace(QLatin1String("-peer"), QLatin1String("-net"));
    const QString n = lan.router.section('.', 2, 2);
    wanRouter = QStringLiteral("10.78.%1.1").arg(n);
    wanInternet = QStringLiteral("10.78.%1.2").arg(n);
    if (!lan.error.isEmpty()) {
        error = lan.error;
        return;
    }
    error = sh(namespacesScript(QStringLiteral("ftsys-"), {internet}) +
               QStringLiteral(R"(P=%1 N=%2
ip -n $P link add wan0 address 02:00:5e:78:%5:01 type veth peer name eth0 netns $N address 02:00:5e:78:%5:02
ip -n $P address add %3/24 dev wan0; ip -n $N address add %4/24 dev eth0
ip -n $P neigh replace %4 lladdr 02:00:5e:78:%5:02 dev wan0 nud permanent
ip -n $N neigh replace %3 lladdr 02:00:5e:78:%5:01 dev eth0 nud permanent
ip -n $P link set wan0 up; ip -n $N link set eth0 up)")
                   .arg(lan.peer, internet, wanRouter, wanInternet)
                   .arg(n.toInt(), 2, 16, QChar('0')));
}

IgdScene::~IgdScene() {
    stopIgd();
    removeNamespaces({internet});
}

QString IgdScene::startIgd() {
    stopIgd();
    const QString conf = folder_.filePath(QStringLiteral("miniupnpd.conf"));
    QFile file(conf);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QStringLiteral("cannot write %1").arg(conf);
    const QString subnet = lan.router.section('.', 0, 2) + ".0/24";
    file.write(QStringLiteral("ext_ifname=wan0\nlistening_ip=%1\nhttp_port=%2\nuuid=%3\n"
                              "friendly_name=%4\nmodel_name=%5\nbitrate_up=%6\nbitrate_down=%7\n"
                              "enable_natpmp=no\nenable_upnp=yes\nsecure_mode=yes\n"
                              "system_uptime=no\nallow 1024-65535 %8 1024-65535\n"
                              "deny 0-65535 0.0.0.0/0 0-65535\n")
                   .arg(lan.shape.routerInterface)
                   .arg(kHttpPort)
                   .arg(QLatin1String(kUuid), QLatin1String(kName), QLatin1String(kModel))
                   .arg(kUpBits)
                   .arg(kDownBits)
                   .arg(subnet)
                   .toUtf8());
    file.close();
    const QString log = folder_.filePath(QStringLiteral("miniupnpd.log"));
    const qsizetype started = igdLog().count("HTTP listening on port");
    // Its log lines go to its standard output alone: it sees a /dev of its
    // own without the console (and no /dev/log), where syslog would write
    // what no daemon takes. It ends with the thread that started it, also
    // when the test is killed.
    const QString devices = folder_.filePath(QStringLiteral("dev"));
    if (!QDir().mkpath(devices))
        return QStringLiteral("cannot make %1").arg(devices);
    const QString script =
        "set -e; D=$0; for n in null zero random urandom; do : > $D/$n; mount "
        "--bind /dev/$n $D/$n; done; mount --rbind $D /dev; exec ip netns exec "
        "\"$1\" setpriv --pdeathsig KILL /usr/sbin/miniupnpd -d -f \"$2\" -P \"$3\"";
    const QString pidFile = folder_.filePath(QStringLiteral("miniupnpd.pid"));
    igd_ = startLogged(QStringLiteral("unshare"),
                       {"--mount", "--propagation", "private", "sh", "-c", script, devices,
                        lan.peer, conf, pidFile},
                       log);
    return waitForLog(*igd_, log, "HTTP listening on port", started, QStringLiteral("miniupnpd"));
}

bool IgdScene::stopIgd() {
    return !igd_ || endProcess(*igd_);
}

qint64 IgdScene::igdPid() const {
    return igd_ && igd_->state() != QProcess::NotRunning ? igd_->processId() : 0;
}

QByteArray IgdScene::igdLog() const {
    return readFile(folder_.filePath(QStringLiteral("miniupnpd.log")));
}

QString IgdScene::push(quint64 toRouter, quint64 fromRouter) const {
    const TcpConnection connection = connectTcp(lan.peer, internet, wanRouter, kPushPort);
    const bool moved = connection.server >= 0 &&
                       moveBytes(connection.client, connection.server, toRouter) &&
                       moveBytes(connection.server, connection.client, fromRouter);
    ::close(connection.client);
    ::close(connection.server);
    return moved ? QString() : QStringLiteral("the push over wan0 failed");
}

} // namespace flowtally
