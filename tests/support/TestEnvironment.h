#pragma once

#include "platform/system/Environment.h"

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
    TestEnvironment(const TestEnvironment &) = delete;
    TestEnvironment &operator=(const TestEnvironment &) = delete;

    // The folder that holds the test's files.
    QString folder() const { return folder_.path(); }

    // ---- What the test sets ----
    // A tool's program; an empty path puts back the one of the environment
    // underneath.
    void setToolPath(const QString &tool, const QString &path);
    void setToolTimeout(std::chrono::milliseconds timeout) { set(toolTimeout_, timeout); }
    // The kernel's tables show this network, or none (no default route).
    void setNetwork(const std::optional<FakeNetwork> &network);
    // The text of the boot identifier file.
    void setBootId(const QString &bootId) { writeFile(kBootId, bootId.toLatin1() + '\n'); }
    void setHostName(const QString &name) { set(hostName_, name); }
    // The wall clock; an empty function restores the real one.
    void setClock(std::function<QDateTime()> clock) { set(clock_, std::move(clock)); }
    void setTimeZone(const QTimeZone &zone) { set(zone_, zone); }
    // The runtime folder the session names (empty: none) and Flowtally's
    // own; "runtime" and "own-runtime" in the test's folder unless set.
    void setRuntimeFolder(const QString &path) { set(runtimeFolder_, path); }
    void setOwnRuntimeFolder(const QString &path) { set(ownRuntimeFolder_, path); }
    // The buses; unconnected ones (no bus) unless set.
    void setSystemBus(const QDBusConnection &bus) { set(systemBus_, bus); }
    void setSessionBus(const QDBusConnection &bus) { set(sessionBus_, bus); }
    // Whether Flowtally may look for routers over UPnP; no unless set.
    void setUpnpAllowed(bool allowed) { set(upnpAllowed_, allowed); }
    // Where flowtally-accountd answers; "accountd.sock" in the test's folder
    // (where nothing answers) unless set.
    void setAccountdSocket(const QString &path) { set(accountdSocket_, path); }

    // The service identifier that the network store gives for the network
    // the tables show now; none without a network.
    std::optional<QString> currentService() const;

    // ---- The captured log ----
    QStringList logLines() const { return get(log_); }
    QStringList logLinesContaining(const QString &text) const { return logLines().filter(text); }
    void clearLog() { set(log_, QStringList()); }

    // ---- Answers ----
    QString toolPath(const QString &tool) override;
    std::chrono::milliseconds toolTimeout() override {
        return setOr(toolTimeout_, &Environment::toolTimeout);
    }
    QString routeTablePath() override { return folder_.filePath(kRouteTable); }
    QString neighbourTablePath() override { return folder_.filePath(kNeighbourTable); }
    QString bootIdPath() override { return folder_.filePath(kBootId); }
    QString interfacesFolder() override { return folder_.filePath(QStringLiteral("interfaces")); }
    QString hostName() override { return setOr(hostName_, &Environment::hostName); }
    bool mayAskRoutersOverUpnp() override { return get(upnpAllowed_); }
    QString accountdSocket() override { return get(accountdSocket_); }
    QDBusConnection systemBus() override { return get(systemBus_).value_or(noBus()); }
    QDBusConnection sessionBus() override { return get(sessionBus_).value_or(noBus()); }
    QDateTime now() override;
    QTimeZone timeZone() override { return setOr(zone_, &Environment::timeZone); }
    QString configFolder() override { return folder_.filePath(QStringLiteral("config")); }
    QString dataFolder() override { return folder_.filePath(QStringLiteral("data")); }
    QString runtimeFolder() override { return get(runtimeFolder_); }
    QString ownRuntimeFolder() override { return get(ownRuntimeFolder_); }
    void log(const QString &line) override;

  private:
    static inline const QString kRouteTable = QStringLiteral("route");
    static inline const QString kNeighbourTable = QStringLiteral("arp");
    static inline const QString kBootId = QStringLiteral("boot_id");

    // A member, read or set under the lock.
    template <typename T> T get(const T &member) const {
        std::lock_guard lock(mutex_);
        return member;
    }
    template <typename T, typename Value> void set(T &member, Value &&value) {
        std::lock_guard lock(mutex_);
        member = std::forward<Value>(value);
    }
    // What the test set, or else the answer of the environment underneath.
    template <typename T> T setOr(const std::optional<T> &member, T (Environment::*underneath)()) {
        const std::optional<T> value = get(member);
        return value ? *value : (target().*underneath)();
    }
    static QDBusConnection noBus() {
        return QDBusConnection(QStringLiteral("flowtally-test-no-bus"));
    }
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
    QString accountdSocket_;
    // Last, so that it goes first.
    std::optional<ScopedEnvironment> scope_;
};

} // namespace flowtally
