#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <csignal>
#include <memory>
#include <sys/socket.h>

namespace flowtally {

// The scenes that system tests, tool tests and benchmarks build out of
// network namespaces of their own: nothing they send can reach another
// network. Needs root and iproute2.

// Runs a shell script (which manages the scene's namespaces with `ip -n`
// and runs programs inside them with `ip netns exec`), waiting at most a
// minute. An error text, empty when it went well; what it printed in *output.
QString sh(const QString &script, QString *output = nullptr);

// A file's bytes; none when it cannot be read.
QByteArray readFile(const QString &path);

// The script that makes network namespaces of these names, each with its
// loopback up, IPv6 off (so that nothing sends until a test does) and an
// empty resolver file (so that nothing asks a name server); before it, the
// namespaces of killed runs of this program whose names begin with `prefix`
// and the pid are removed. Removes namespaces of these names, if there.
QString namespacesScript(const QString &prefix, const QStringList &names);
void removeNamespaces(const QStringList &names);

// Statistics of an interface in a namespace (/sys/class/net/IF/statistics),
// in the order asked; 0 for those that cannot be read.
QList<quint64> interfaceStatistics(const QString &ns, const QString &interface,
                                   const QStringList &names);

// Bytes an interface received and sent.
struct InterfaceCounters {
    quint64 received = 0, sent = 0;
    quint64 sum() const { return received + sent; }
    InterfaceCounters operator-(const InterfaceCounters &other) const {
        return {received - other.received, sent - other.sent};
    }
    InterfaceCounters operator+(const InterfaceCounters &other) const {
        return {received + other.received, sent + other.sent};
    }
};

// A LAN host and its router, each in a namespace of its own, joined by a
// veth pair: the host's interface 10.77.N.2/24 with the default route via
// 10.77.N.1, the router's interface 10.77.N.1/24. IPv6 off and permanent
// neighbour entries both ways keep the link silent until something sends;
// an empty resolver file asks no name server. All of it goes with the
// object, also when building failed half-way, and so do the leftovers of
// killed runs of this program.
class Lan {
  public:
    struct Shape {
        QString hostInterface = QStringLiteral("eth0");
        QString routerInterface = QStringLiteral("vlan1");
        int mtu = 0; // 0: the kernel's default
    };

    explicit Lan(const Shape &shape);
    Lan() : Lan(Shape()) {}
    ~Lan() { removeNamespaces({lan, peer}); }
    Lan(const Lan &) = delete;
    Lan &operator=(const Lan &) = delete;

    // Deletes the link and makes it again, as it was (addresses, neighbours,
    // route), with new counters: at the kernel's next index, or at `index`.
    QString remakeLink(int index = 0);
    // The kernel's index of the host's interface; 0 when unknown.
    int hostIndex() const;
    // The kernel's counters of an interface in one of the namespaces.
    static InterfaceCounters counters(const QString &ns, const QString &interface);
    InterfaceCounters hostCounters() const { return counters(lan, shape.hostInterface); }
    InterfaceCounters routerCounters() const { return counters(peer, shape.routerInterface); }

    Shape shape;
    // The namespaces, the addresses and the hardware addresses of both ends;
    // what failed while building, empty when nothing did.
    QString lan, peer, host, router, hostHardware, routerHardware, error;

  private:
    // The script that makes the link between the two and its route.
    QString linkScript(int index) const;
};

// A socket of a namespace, made by a thread that entered it; it stays there.
// Sending and receiving on it give up after 5 s.
int socketIn(const QString &ns, int type, int family = AF_INET);
// Sending and receiving on a socket give up after that many seconds.
void setTimeouts(int socket, int seconds);

// A TCP connection from a socket of `clientNs` to `address`:`port`, served
// by a socket of `serverNs`; both ends -1 when it could not be made.
struct TcpConnection {
    int client = -1, server = -1;
};
TcpConnection connectTcp(const QString &serverNs, const QString &clientNs, const QString &address,
                         quint16 port);
// Sends that many bytes (zeros), or takes and drops them, without allocating
// (forked children use it too); whether all of them went.
bool transferBytes(int socket, quint64 bytes, bool sending);
// Moves bytes from one end of a connection to the other, sent on a thread of
// their own; whether all arrived.
bool moveBytes(int from, int to, quint64 bytes);

// Makes the calling thread's network namespace the named one.
bool enterNamespace(const QString &ns);

// Processes of the test's. Starts one, its output and errors appended to
// the log file.
std::unique_ptr<QProcess> startLogged(const QString &program, const QStringList &arguments,
                                      const QString &logPath);
// Waits (20 s at most) until the log holds the text more often than
// `before` times, as `who` writes it once it serves: what went wrong, or empty.
QString waitForLog(QProcess &process, const QString &logPath, const QByteArray &text,
                   qsizetype before, const QString &who);
// Whether it runs (not ended, no zombie); signals it by its own pid.
bool isRunning(QProcess &process);
bool signalProcess(QProcess &process, int number);
// Wakes it (CONT) and sends it the signal, then waits 20 s at most for its
// end and kills it after that; whether it ended of the signal.
bool endProcess(QProcess &process, int number = SIGTERM);

// snmpd on the router's address in the router's namespace, answering a
// community from the LAN host only, naming itself `sysName`, reading no
// configuration of the system, its output appended to a log file. Stopped
// when the object goes.
class SnmpAgent {
  public:
    SnmpAgent(const Lan &lan, QString modules, QString stateFolder, QString logPath,
              QString sysName = QStringLiteral("testrouter"));
    ~SnmpAgent() { stop(); }

    // Starts it with the community and waits until it serves; what failed,
    // or empty.
    QString start(const QString &community);
    // Ends it (TERM, then KILL), waiting for the end.
    bool stop() { return !process_ || endProcess(*process_); }
    // Freezes and thaws it.
    bool pause() { return process_ && signalProcess(*process_, SIGSTOP); }
    bool resume() { return process_ && signalProcess(*process_, SIGCONT); }

  private:
    const Lan &lan_;
    QString modules_, stateFolder_, logPath_, sysName_;
    std::unique_ptr<QProcess> process_;
};

} // namespace flowtally
