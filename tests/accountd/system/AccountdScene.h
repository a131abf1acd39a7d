#pragma once

#include "accountd/protocol/AccountdProtocol.h"
#include "tests/support/NetworkScene.h"

#include <QDir>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace flowtally {

// The cgroups of the tests' applications, named as a desktop names them:
// two of one user, one of another, a system service.
inline const std::string kEditor =
    "user.slice/user-1000.slice/user@1000.service/app.slice/app-org.example.Editor-1.scope";
inline const std::string kBrowser =
    "user.slice/user-1000.slice/user@1000.service/app.slice/app-org.example.Browser-2.scope";
inline const std::string kViewer =
    "user.slice/user-65534.slice/user@65534.service/app.slice/app-org.example.Viewer-3.scope";
inline const std::string kBackup = "system.slice/backup.service";

// The kernel's counters of an interface.
struct LinkCounters {
    std::uint64_t receivedBytes = 0, sentBytes = 0, receivedPackets = 0, sentPackets = 0;
    LinkCounters operator-(const LinkCounters &earlier) const {
        return {receivedBytes - earlier.receivedBytes, sentBytes - earlier.sentBytes,
                receivedPackets - earlier.receivedPackets, sentPackets - earlier.sentPackets};
    }
};

// A machine of network namespaces of the test's own, and a cgroup tree of
// its own, for flowtally-accountd:
// - "host": where the service and the applications run. priv0
//   (192.168.77.2/24) leads to the "lan" namespace's p0 (192.168.77.1), a
//   peer on a private address; wan0 (10.99.0.2/24, the default route via
//   10.99.0.1) to the "isp" namespace's w0 (10.99.0.1/24), which also holds
//   the "Internet" address 203.0.113.1 (on its loopback) and 198.51.100.1/24.
//   Each peer serves TCP on port 7000, IPv4 and IPv6: it reads the bytes it is told of,
//   sends the bytes it is asked for and closes first, so that no socket of
//   the host waits in TIME_WAIT, whose last packets no socket counts. The
//   links stay silent until something sends: IPv6 off, permanent neighbour
//   entries; and their ends segment in software (segmentation offload off),
//   so that the interfaces count the packets a wire would carry.
// - a cgroup folder under the cgroup v2 mount, the service's root, with
//   the cgroups the test makes below it.
// Everything goes with the object, also when building failed half-way, and
// so do the leftovers of killed runs.
class AccountdScene {
  public:
    AccountdScene();
    ~AccountdScene();

    // Why the scene cannot be built here (not root, no cgroup v2), or
    // empty; what failed while building it, or empty.
    QString skip, error;

    // Makes a cgroup below the root (a path relative to it).
    bool makeCgroup(const std::string &path) const {
        return QDir().mkpath(QString::fromStdString(root + '/' + path));
    }
    // Runs an application in a cgroup below the root: a process of the
    // host that connects to a peer's port 7000 (an IPv4 or IPv6 address), sends `upload` bytes and
    // reads `download` bytes. Returns once the links are quiet again and
    // the service's next answer is read after the traffic; whether all of
    // the bytes passed.
    bool runApplication(const std::string &cgroup, const char *peer, std::uint64_t upload,
                        std::uint64_t download) const;
    // The counters of one of the host's interfaces, once they stand still.
    LinkCounters counters(const char *interface) const;
    // A shell script's failure, or empty (`ip -n` works on the namespaces,
    // whose names are in HOST, LAN and ISP).
    QString run(const QString &script) const;

    // Starts the service attached to the root, in the host's namespace, and
    // waits until it answers. What failed, or empty; `skip` says when eBPF
    // cannot load here.
    QString startService();
    // Stops it with the signal and waits for its end; whether it ended.
    bool stopService(int signal);
    bool serviceRunning() const { return service_ && isRunning(*service_); }
    // The log of every start.
    QString serviceLog() const {
        return QString::fromUtf8(readFile(folder_.filePath("service.log")));
    }

    // The service's answer to a process of that user, read; fails the test
    // when it is none.
    AccountdCounters countersAs(std::uint32_t uid) const;

    std::string root;       // the cgroup folder
    std::string socketPath; // the service's socket
    QString host, lan, isp; // the namespaces

  private:
    void serve(const QString &ns, const std::stop_token &stop);

    QTemporaryDir folder_;
    std::unique_ptr<QProcess> service_;
    std::vector<std::jthread> peers_;
};

} // namespace flowtally
