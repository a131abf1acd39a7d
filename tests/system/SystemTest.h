#pragma once

#include "CommandRun.h"
#include "PropertyList.h"

#include <QtCore>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <sched.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace flowtally {

// Runs a shell script that manages the test's own namespaces (`ip -n`) and
// runs programs inside them (`ip netns exec`). An error text, empty when it
// went well; what it printed in *output.
inline QString sh(const QString &script, QString *output = nullptr) {
    const CommandResult result = runCommand("sh", {"-c", script});
    if (output)
        *output = result.output;
    return result.finished && result.exitCode == 0 ? QString() : script + ": " + result.error;
}

inline QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct InterfaceCounters {
    quint64 received = 0, sent = 0;
    quint64 sum() const { return received + sent; }
    InterfaceCounters operator-(const InterfaceCounters &other) const {
        return {received - other.received, sent - other.sent};
    }
};

// A LAN host and its router, each in a namespace of its own, joined by a
// veth pair: lan's eth0 10.77.N.2/24 with the default route via 10.77.N.1,
// peer's vlan1 10.77.N.1/24. IPv6 off and permanent neighbour entries both
// ways keep the link silent until something sends; an empty resolver file
// asks no name server; nothing can leave the two namespaces. All of it goes
// with the object, also when building failed half-way, and so do the
// leftovers of killed runs of this program.
struct Lan {
    Lan() {
        static int made = 0;
        const int n = 10 + made++ % 200;
        const QString tag = QStringLiteral("ftsys-%1-%2-").arg(QCoreApplication::applicationPid());
        lan = tag.arg(n) + "lan";
        peer = tag.arg(n) + "peer";
        host = QStringLiteral("10.77.%1.2").arg(n);
        router = QStringLiteral("10.77.%1.1").arg(n);
        const QString mac = QStringLiteral("02:00:5e:77:%1:0").arg(n, 2, 16, QChar('0'));
        error = sh(QStringLiteral(R"(set -e; L=%1 P=%2 H=%3 R=%4 M=%5
for f in /var/run/netns/ftsys-*; do n=${f##*/}; p=${n#ftsys-}; [ ! -e $f ] || [ -d /proc/${p%%-*} ] || { ip netns delete $n; rm -rf /etc/netns/$n; }; done
for n in $L $P; do mkdir -p /etc/netns/$n; : > /etc/netns/$n/resolv.conf; ip netns add $n; ip -n $n link set lo up
  ip netns exec $n sysctl -qw net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1; done
ip -n $L link add eth0 address ${M}2 type veth peer name vlan1 netns $P address ${M}1
ip -n $L address add $H/24 dev eth0; ip -n $P address add $R/24 dev vlan1
ip -n $L neigh replace $R lladdr ${M}1 dev eth0 nud permanent
ip -n $P neigh replace $H lladdr ${M}2 dev vlan1 nud permanent
ip -n $L link set eth0 up; ip -n $P link set vlan1 up)")
                       .arg(lan, peer, host, router, mac) +
                   '\n' + route("add"));
    }
    ~Lan() {
        for (const QString &ns : {lan, peer})
            sh(QStringLiteral("ip netns delete %1; rm -rf /etc/netns/%1; rmdir /etc/netns")
                   .arg(ns));
    }
    QString route(const QString &verb) const {
        return QStringLiteral("ip -n %1 route %2 default via %3 dev eth0\n").arg(lan, verb, router);
    }
    // The kernel's counters of an interface in one of the namespaces.
    static InterfaceCounters counters(const QString &ns, const QString &interface) {
        QString output;
        sh(QStringLiteral("ip netns exec %1 sh -c 'cd /sys/class/net/%2/statistics && cat "
                          "rx_bytes tx_bytes'")
               .arg(ns, interface),
           &output);
        const QStringList lines = output.split('\n', Qt::SkipEmptyParts);
        EXPECT_EQ(lines.size(), 2) << "no counters of " << interface.toStdString();
        return {lines.value(0).toULongLong(), lines.value(1).toULongLong()};
    }

    QString lan, peer, host, router, error;
};

// One network service's record as Flowtally stored it in its defaults file.
struct Record {
    QString key;
    QVariantMap values;

    quint64 number(const char *name) const { return values.value(name).toULongLong(); }
    InterfaceCounters total() const { return {number("totalInBytes"), number("totalOutBytes")}; }
    InterfaceCounters prev() const { return {number("prevInVal"), number("prevOutVal")}; }
    // Each accepted sample adds the counter's growth to the total and keeps
    // the counter: counter minus total stays the counter at the service's
    // first sample, over a run and across runs.
    InterfaceCounters base() const { return prev() - total(); }
    QString source() const { return values.value("prevValSource").toString(); }
    bool sampled() const { return prev().received != 0 || prev().sent != 0; }
    bool operator==(const Record &) const = default;
};
using Records = std::map<QString, Record>;

// The scene: a Lan, a TCP connection over it, a settings home in a temporary
// folder, and Flowtally run offscreen in the LAN namespace, one run at a
// time. A failing test prints the log.
class SystemTest : public ::testing::Test {
  public:
    static constexpr quint64 kMiB = 1024 * 1024;
    // Flowtally's own probes and answers that may pass between its last
    // stored sample and a look at the kernel.
    static constexpr quint64 kSlack = 16 * 1024;

  protected:
    void SetUp() override {
        if (geteuid() != 0)
            GTEST_SKIP() << "system tests need root";
        ASSERT_TRUE(QDir().mkpath(settingsFolder()));
        lan = std::make_unique<Lan>();
        ASSERT_TRUE(lan->error.isEmpty()) << lan->error.toStdString();
        // A TCP connection from the LAN host to its router: each byte moved
        // crosses the link once, headers on top.
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(7777);
        ::inet_pton(AF_INET, qPrintable(lan->router), &address.sin_addr);
        const auto at = reinterpret_cast<sockaddr *>(&address);
        const int listener = socketIn(lan->peer);
        client = socketIn(lan->lan);
        if (!::bind(listener, at, sizeof address) && !::listen(listener, 1) &&
            !::connect(client, at, sizeof address))
            server = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        ::close(listener);
        // Counters of 0 read as "no value".
        ASSERT_TRUE(exchange(64 * 1024, 64 * 1024)) << "no TCP connection";
    }
    void TearDown() override {
        if (HasFailure())
            qInfo().noquote() << "---- log\n" + readFile(logPath()) + "----";
        traffic = std::jthread();
        ::close(client);
        ::close(server);
    }

    QString settingsFolder() const { return folder.filePath("config/flowtally"); }
    QString defaultsPath() const { return settingsFolder() + "/defaults.plist"; }
    QString logPath() const { return folder.filePath("run.log"); }
    // Flowtally's log lines that name the defaults file.
    QStringList settingsLines() const {
        return QString(readFile(logPath())).split('\n').filter(defaultsPath());
    }

    // Runs the program in the namespace (`ip netns exec` becomes it), its
    // output appended to the log; it is killed when the object goes.
    std::unique_ptr<QProcess> start(const QString &ns, const QStringList &command) {
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->setStandardOutputFile(logPath(), QIODevice::Append);
        process->start("ip", QStringList{"netns", "exec", ns, "env"} + command);
        process->waitForStarted(10000);
        return process;
    }
    static bool running(QProcess &process) {
        return process.state() != QProcess::NotRunning && !process.waitForFinished(0);
    }
    // Signals the process by its own pid.
    static bool signal(QProcess &process, int number) {
        return running(process) && ::kill(pid_t(process.processId()), number) == 0;
    }
    // The signal (woken first, if stopped), then 20 s at most for the end.
    static bool end(QProcess &process, int number) {
        signal(process, SIGCONT);
        signal(process, number);
        process.waitForFinished(20000);
        return !running(process);
    }

    void launch() {
        flowtally = start(lan->lan, {"QT_QPA_PLATFORM=offscreen",
                                     "XDG_CONFIG_HOME=" + folder.filePath("config"),
                                     QCoreApplication::applicationDirPath() + "/flowtally"});
        ASSERT_TRUE(running(*flowtally)) << "Flowtally did not start";
    }
    void quit() {
        ASSERT_TRUE(running(*flowtally)) << "Flowtally ended before it was asked to";
        ASSERT_TRUE(end(*flowtally, SIGTERM)) << "Flowtally did not quit on SIGTERM";
        EXPECT_TRUE(flowtally->exitStatus() == QProcess::NormalExit && flowtally->exitCode() == 0)
            << "Flowtally crashed while quitting";
    }

    // A socket made by a thread that entered the namespace; it stays there.
    // Sending and receiving on it give up after 5 s.
    static int socketIn(const QString &ns) {
        int made = -1;
        std::thread([&] {
            const int handle = ::open(qPrintable("/var/run/netns/" + ns), O_RDONLY | O_CLOEXEC);
            if (handle >= 0 && ::setns(handle, CLONE_NEWNET) == 0)
                made = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            ::close(handle);
        }).join();
        const timeval timeout{5, 0};
        for (const int option : {SO_RCVTIMEO, SO_SNDTIMEO})
            ::setsockopt(made, SOL_SOCKET, option, &timeout, sizeof timeout);
        return made;
    }
    static bool transfer(int socket, quint64 bytes, bool sending) {
        std::vector<char> buffer(64 * 1024, 'f');
        for (quint64 done = 0; done < bytes;) {
            const size_t size = std::min<quint64>(bytes - done, buffer.size());
            const ssize_t moved = sending ? ::send(socket, buffer.data(), size, MSG_NOSIGNAL)
                                          : ::recv(socket, buffer.data(), size, 0);
            if (moved == 0 || (moved < 0 && errno != EINTR))
                return false;
            done += static_cast<quint64>(std::max<ssize_t>(moved, 0));
        }
        return true;
    }
    static bool move(int from, int to, quint64 bytes) {
        std::jthread writer([=] { transfer(from, bytes, true); });
        return transfer(to, bytes, false);
    }
    // Moves `up` bytes to the router, then `down` bytes back, each read whole.
    bool exchange(quint64 up, quint64 down) {
        return move(client, server, up) && move(server, client, down);
    }
    void push(quint64 up, quint64 down) { ASSERT_TRUE(exchange(up, down)) << "traffic failed"; }
    // Keeps data moving both ways, with short pauses, until stopped (a
    // minute at most); counts the exchanges.
    void startTraffic(quint64 chunk) {
        traffic = std::jthread([this, chunk](std::stop_token stop) {
            for (int i = 0; i < 1500 && !stop.stop_requested() && !trafficFailed;
                 ++i, ++exchanges) {
                trafficFailed = !exchange(chunk, chunk);
                QThread::msleep(40);
            }
        });
    }
    // Whether every exchange went through.
    bool stopTraffic() {
        traffic.request_stop();
        traffic.join();
        return !trafficFailed;
    }
    InterfaceCounters counters() const { return Lan::counters(lan->lan, "eth0"); }

    // The stored records; every distinct sampled state read is kept in seen.
    Records records() {
        Records found;
        const QVariantMap all =
            dictionaryWithContentsOfFile(defaultsPath()).value_or(QVariantMap());
        for (auto entry = all.constBegin(); entry != all.constEnd(); ++entry) {
            const Record record{entry.key(), entry.value().toMap()};
            if (record.values.contains("PrimaryService"))
                found.emplace(entry.key(), record);
            if (std::vector<Record> &states = seen[entry.key()];
                record.sampled() && std::find(states.begin(), states.end(), record) == states.end())
                states.push_back(record);
        }
        return found;
    }

    // Waits, 30 s at most and while Flowtally (if started) runs, until the
    // condition holds; whether it did. Counts the work ticks meanwhile: each
    // sends the router one SNMP probe, so the LAN host's sent counter moves
    // once a tick while nothing else sends.
    bool waitUntil(const std::function<bool()> &condition) {
        quint64 sent = counters().sent;
        ticks = 0;
        for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);;
             QThread::msleep(200)) {
            const quint64 now = counters().sent;
            ticks += now != sent;
            sent = now;
            if (condition())
                return true;
            if (std::chrono::steady_clock::now() >= end || (flowtally && !running(*flowtally)))
                return false;
        }
    }
    // The same for a stored sample of the service (or of the only one), from
    // the source if given, taken once the counters had reached the values.
    std::optional<Record> waitForSample(const InterfaceCounters &reached = {},
                                        const QString &key = {}, const QString &source = {}) {
        std::optional<Record> met;
        waitUntil([&] {
            const Records all = records();
            const auto found = key.isEmpty() && all.size() == 1 ? all.begin() : all.find(key);
            if (found != all.end() && found->second.sampled() &&
                found->second.prev().received >= reached.received &&
                found->second.prev().sent >= reached.sent &&
                (source.isEmpty() || found->second.source() == source))
                met = found->second;
            return met.has_value();
        });
        return met;
    }

    static void expectAtLeast(const InterfaceCounters &got, const InterfaceCounters &least) {
        EXPECT_GE(got.received, least.received) << "received";
        EXPECT_GE(got.sent, least.sent) << "sent";
    }
    // Later is earlier plus at most the slack, each way.
    static void expectSoonAfter(const InterfaceCounters &earlier, const InterfaceCounters &later,
                                quint64 slack = kSlack) {
        expectAtLeast({earlier.received + slack, earlier.sent + slack}, later);
        expectAtLeast(later, earlier);
    }
    // The rules every stored record keeps: its keys of their types, stored
    // under its own service, a reset date, counted from the given bases.
    static void expectConsistent(const Record &record, const InterfaceCounters &base) {
        SCOPED_TRACE("record of " + record.key.toStdString());
        for (const QString &entry :
             QStringLiteral("resetDate:QDateTime totalInBytes:qulonglong totalOutBytes:qulonglong "
                            "prevInVal:qulonglong prevOutVal:qulonglong limitUnitsScale:qulonglong "
                            "PrimaryService:QString gbpmLimit:double prevValSource:QString")
                 .split(' '))
            EXPECT_EQ(record.values.value(entry.section(':', 0, 0)).typeName(),
                      entry.section(':', 1));
        EXPECT_EQ(record.values.value("PrimaryService").toString(), record.key);
        EXPECT_GT(record.values.value("resetDate").toDateTime(),
                  QDateTime(QDate(2001, 1, 1), QTime(0, 0)));
        EXPECT_EQ(record.base().received, base.received) << "incoming bytes lost or counted twice";
        EXPECT_EQ(record.base().sent, base.sent) << "outgoing bytes lost or counted twice";
    }

    QTemporaryDir folder;
    std::unique_ptr<Lan> lan;
    int client = -1, server = -1;
    std::unique_ptr<QProcess> flowtally;
    std::map<QString, std::vector<Record>> seen;
    int ticks = 0;
    std::atomic<int> exchanges{0};
    std::atomic<bool> trafficFailed{false};
    std::jthread traffic;
};

} // namespace flowtally
