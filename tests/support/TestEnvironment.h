#pragma once

#include "Environment.h"

#include <QHash>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <mutex>
#include <optional>

namespace flowtally {

// The network a test's kernel tables show: the default route over an
// interface to a router, and the router's hardware address once it is
// resolved (none while the kernel is still asking for it).
struct FakeNetwork {
    QString interface = QStringLiteral("eth0");
    QString router = QStringLiteral("127.0.0.77");
    std::optional<QString> routerHardware = QStringLiteral("02:00:00:00:00:aa");
};

// A test's world. While it lives it is the environment in force, over the
// one that was (whatever it does not answer, that one answers): settings,
// data and runtime files in a temporary folder of its own, the log lines
// captured instead of written, no buses, and whatever the test sets: the
// programs that stand for tools, the tool timeout, the kernel's tables (the
// network they show), the boot identifier, the host name and the clock.
// Everything is put back when it goes. Make it on the main thread while no
// worker of Flowtally's runs; its answers may be asked from any thread.
class TestEnvironment : public EnvironmentWrapper {
  public:
    TestEnvironment();
    ~TestEnvironment() override;
    TestEnvironment(const TestEnvironment &) = delete;
    TestEnvironment &operator=(const TestEnvironment &) = delete;

    // The folder that holds the test's files.
    QString folder() const { return folder_.path(); }

    // ---- What the test sets ----
    // A tool's program; an empty path puts back the one of the environment
    // underneath.
    void setToolPath(const QString &tool, const QString &path);
    void setToolTimeout(std::chrono::milliseconds timeout);
    // The kernel's tables show this network, or none (no default route).
    void setNetwork(const std::optional<FakeNetwork> &network);
    // The text of the boot identifier file.
    void setBootId(const QString &bootId);
    void setHostName(const QString &name);
    // The wall clock; an empty function restores the real one.
    void setClock(std::function<QDateTime()> clock);
    void setTimeZone(const QTimeZone &zone);
    // The runtime folder the session names (empty: none) and Flowtally's
    // own; "runtime" and "own-runtime" in the test's folder unless set.
    void setRuntimeFolder(const QString &path);
    void setOwnRuntimeFolder(const QString &path);
    // The buses; unconnected ones (no bus) unless set.
    void setSystemBus(const QDBusConnection &bus);
    void setSessionBus(const QDBusConnection &bus);
    // Whether Flowtally may look for routers over UPnP; no unless set.
    void setUpnpAllowed(bool allowed);

    // The service identifier that the network store gives for the network
    // the tables show now; none without a network.
    std::optional<QString> currentService() const;

    // ---- The captured log ----
    QStringList logLines() const;
    QStringList logLinesContaining(const QString &text) const;
    void clearLog();

    // ---- Answers ----
    QString toolPath(const QString &tool) override;
    std::chrono::milliseconds toolTimeout() override;
    QString routeTablePath() override;
    QString neighbourTablePath() override;
    QString bootIdPath() override;
    QString interfacesFolder() override;
    QString hostName() override;
    bool mayAskRoutersOverUpnp() override;
    QDBusConnection systemBus() override;
    QDBusConnection sessionBus() override;
    QDateTime now() override;
    QTimeZone timeZone() override;
    QString configFolder() override;
    QString dataFolder() override;
    QString runtimeFolder() override;
    QString ownRuntimeFolder() override;
    void log(const QString &line) override;

  private:
    void writeFile(const QString &name, const QByteArray &text);

    QTemporaryDir folder_;
    mutable std::mutex mutex_;
    QHash<QString, QString> tools_;
    std::optional<std::chrono::milliseconds> toolTimeout_;
    std::optional<QString> hostName_;
    std::function<QDateTime()> clock_;
    std::optional<QTimeZone> zone_;
    QString runtimeFolder_, ownRuntimeFolder_;
    // Made when set: D-Bus starts a thread of its own with its first connection.
    std::optional<QDBusConnection> systemBus_, sessionBus_;
    QStringList log_;
    bool upnpAllowed_ = false;
    ScopedEnvironment *scope_;
};

} // namespace flowtally
