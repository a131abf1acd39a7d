#include "tests/accountd/system/AccountdScene.h"

#include "accountd/Accounting.h"
#include "accountd/CgroupMount.h"
#include "accountd/client/AccountdClient.h"
#include "platform/process/FileDescriptor.h"
#include "tests/accountd/ServerHarness.h"
#include "tests/support/ProcessProbe.h"

#include <QCoreApplication>

#include <csignal>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

namespace flowtally {

namespace {

constexpr std::uint16_t kPeerPort = 7000;
constexpr char kPrefix[] = "flowtally-accountd-test-";

} // namespace

AccountdScene::AccountdScene() {
    if (::geteuid() != 0) {
        skip = QStringLiteral("the service's tests need root");
        return;
    }
    const auto mount = cgroup2MountPoint(readFile("/proc/self/mountinfo").toStdString());
    if (!mount) {
        skip = QStringLiteral("this system mounts no cgroup v2 hierarchy");
        return;
    }
    // What killed runs left of their cgroups (of their namespaces: below).
    sh(QStringLiteral(
           "cd '%1'; for d in %2*; do p=${d#%2}; [ ! -d $d ] || [ -d /proc/${p%%-*} ] || "
           "find $d -depth -type d -exec rmdir {} +; done")
           .arg(QString::fromStdString(*mount), kPrefix));

    static int scenes = 0;
    const QString tag =
        QStringLiteral("%1-%2").arg(QCoreApplication::applicationPid()).arg(++scenes);
    host = "ftacc-" + tag + "-host";
    lan = "ftacc-" + tag + "-lan";
    isp = "ftacc-" + tag + "-isp";
    root = *mount + '/' + kPrefix + tag.toStdString();
    if (::mkdir(root.c_str(), 0755) != 0) {
        error = QStringLiteral("cannot make the cgroup %1").arg(QString::fromStdString(root));
        return;
    }
    // Other users reach the socket: the folder is theirs to pass.
    ::chmod(qPrintable(folder_.path()), 0755);
    socketPath = folder_.filePath("accountd.sock").toStdString();

    error = run(namespacesScript(QStringLiteral("ftacc-"), {host, lan, isp}) + R"(
ip -n $HOST link add priv0 address 02:00:5e:78:00:02 type veth peer name p0 netns $LAN address 02:00:5e:78:00:01
ip -n $HOST link add wan0 address 02:00:5e:79:00:02 type veth peer name w0 netns $ISP address 02:00:5e:79:00:01
ip -n $HOST address add 192.168.77.2/24 dev priv0; ip -n $LAN address add 192.168.77.1/24 dev p0
ip -n $HOST address add 10.99.0.2/24 dev wan0; ip -n $ISP address add 10.99.0.1/24 dev w0
ip -n $ISP address add 203.0.113.1/32 dev lo; ip -n $ISP address add 198.51.100.1/24 dev w0
ip -n $HOST neigh replace 192.168.77.1 lladdr 02:00:5e:78:00:01 dev priv0 nud permanent
ip -n $LAN neigh replace 192.168.77.2 lladdr 02:00:5e:78:00:02 dev p0 nud permanent
for a in 10.99.0.1 198.51.100.1; do ip -n $HOST neigh replace $a lladdr 02:00:5e:79:00:01 dev wan0 nud permanent; done
for a in 10.99.0.2 198.51.100.2; do ip -n $ISP neigh replace $a lladdr 02:00:5e:79:00:02 dev w0 nud permanent; done
for end in "$HOST priv0" "$HOST wan0" "$LAN p0" "$ISP w0"; do set -- $end
  ip netns exec $1 ethtool -K $2 tso off >/dev/null; ip -n $1 link set $2 up; done
ip -n $HOST route add default via 10.99.0.1 dev wan0)");
    if (!error.isEmpty())
        return;
    for (const QString &ns : {lan, isp})
        peers_.emplace_back([this, ns](std::stop_token stop) { serve(ns, stop); });
}

AccountdScene::~AccountdScene() {
    stopService(SIGTERM);
    peers_.clear();
    if (!host.isEmpty())
        removeNamespaces({host, lan, isp});
    if (!root.empty()) // the cgroup tree, its deepest folders first
        sh(QStringLiteral("[ ! -d '%1' ] || find '%1' -depth -type d -exec rmdir {} +")
               .arg(QString::fromStdString(root)));
}

QString AccountdScene::run(const QString &script) const {
    return sh(QStringLiteral("HOST=%1 LAN=%2 ISP=%3\n").arg(host, lan, isp) + script);
}

// The peer: one connection at a time, IPv4 or IPv6, until the scene goes.
// A connection says how many bytes it sends and how many it wants, as two
// 64-bit numbers.
void AccountdScene::serve(const QString &ns, const std::stop_token &stop) {
    const int listener = socketIn(ns, SOCK_STREAM, AF_INET6);
    const int yes = 1, no = 0;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    ::setsockopt(listener, IPPROTO_IPV6, IPV6_V6ONLY, &no, sizeof no);
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_port = htons(kPeerPort);
    if (::bind(listener, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(listener, 16) != 0) {
        ::close(listener);
        return;
    }
    while (!stop.stop_requested()) {
        pollfd entry{listener, POLLIN, 0};
        if (::poll(&entry, 1, 100) <= 0)
            continue;
        const int connection = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue;
        setTimeouts(connection, 10);
        std::uint64_t sizes[2] = {};
        if (::recv(connection, sizes, sizeof sizes, MSG_WAITALL) == sizeof sizes &&
            transferBytes(connection, sizes[0], false))
            transferBytes(connection, sizes[1], true);
        ::close(connection);
    }
    ::close(listener);
}

bool AccountdScene::runApplication(const std::string &cgroup, const char *peer,
                                   std::uint64_t upload, std::uint64_t download) const {
    // Everything the process needs is made before it is forked: it makes
    // only system calls.
    const std::string procs = root + '/' + cgroup + "/cgroup.procs";
    const int ns = ::open(qPrintable("/var/run/netns/" + host), O_RDONLY | O_CLOEXEC);
    addrinfo numeric{};
    numeric.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    numeric.ai_socktype = SOCK_STREAM;
    addrinfo *address = nullptr;
    if (ns < 0)
        return false;
    if (::getaddrinfo(peer, std::to_string(kPeerPort).c_str(), &numeric, &address) != 0) {
        ::close(ns);
        return false;
    }
    const std::uint64_t sizes[2] = {upload, download};

    const pid_t child = ::fork();
    if (child == 0) {
        // The process joins its cgroup first: a socket belongs to the
        // cgroup its maker was in when it was made.
        const int joined = ::open(procs.c_str(), O_WRONLY | O_CLOEXEC);
        if (joined < 0 || ::write(joined, "0", 1) != 1 || ::setns(ns, CLONE_NEWNET) != 0)
            ::_exit(2);
        const int socket = ::socket(address->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        setTimeouts(socket, 10);
        if (::connect(socket, address->ai_addr, address->ai_addrlen) != 0 ||
            ::send(socket, sizes, sizeof sizes, MSG_NOSIGNAL) != sizeof sizes ||
            !transferBytes(socket, upload, true) || !transferBytes(socket, download, false))
            ::_exit(3);
        // The peer closes first: the end of its data.
        char after = 0;
        if (::recv(socket, &after, 1, 0) != 0)
            ::_exit(4);
        ::close(socket);
        ::_exit(0);
    }
    ::close(ns);
    ::freeaddrinfo(address);
    if (child < 0)
        return false;
    // Its end, a minute at most.
    int status = 0;
    const bool ended =
        pollUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; }, 6000, 10);
    if (!ended) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    // The last packets have passed, and the service's next answer is read
    // after them.
    counters("priv0");
    counters("wan0");
    std::this_thread::sleep_for(Accounting::kFreshness);
    return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

LinkCounters AccountdScene::counters(const char *interface) const {
    LinkCounters last{};
    for (int read = 0; read < 50; ++read) {
        const QList<quint64> values = interfaceStatistics(
            host, interface, {"rx_bytes", "tx_bytes", "rx_packets", "tx_packets"});
        const LinkCounters now{values[0], values[1], values[2], values[3]};
        if (read > 0 && now.receivedBytes == last.receivedBytes && now.sentBytes == last.sentBytes)
            return now;
        last = now;
        ::usleep(100000);
    }
    return last;
}

QString AccountdScene::startService() {
    // In the host's network namespace (its mounts as they are), ending
    // with the test, however the test ends.
    service_ = startLogged("nsenter",
                           {"--net=/var/run/netns/" + host, "setpriv", "--pdeathsig", "TERM",
                            FLOWTALLY_ACCOUNTD, "--cgroup-root", QString::fromStdString(root),
                            "--socket", QString::fromStdString(socketPath)},
                           folder_.filePath("service.log"));
    for (int waited = 0; waited < 100; ++waited, ::usleep(100000)) {
        if (!isRunning(*service_)) {
            const QString said = serviceLog().trimmed().section('\n', -1);
            if (said.contains("refused the counting programs") || said.contains("cannot attach"))
                skip = "eBPF programs cannot load here: " + said;
            return "the service ended at its start: " + said;
        }
        if (readAccountd(socketPath, std::chrono::milliseconds(500)).outcome ==
            AccountdReading::Outcome::Counters)
            return QString();
    }
    return QStringLiteral("the service never answered");
}

bool AccountdScene::stopService(int signal) {
    return !service_ || endProcess(*service_, signal);
}

AccountdCounters AccountdScene::countersAs(std::uint32_t uid) const {
    // The service knows a caller by the effective user it connected as; the
    // real user stays root, to come back to.
    const bool became = uid == ::geteuid() || ::seteuid(uid) == 0;
    const FileDescriptor fd(became ? connectTo(socketPath) : -1);
    EXPECT_EQ(::seteuid(0), 0);
    const std::string text =
        fd.isOpen() ? sendAndRead(fd.get(), std::string(kAccountdRequest)) : std::string();
    std::string error;
    const auto counters = readAccountdAnswer(text, &error);
    if (!counters) {
        ADD_FAILURE() << "no answer for " << uid << ": " << error << "\n" << text;
        return AccountdCounters();
    }
    return *counters;
}

} // namespace flowtally
