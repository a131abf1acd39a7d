#pragma once

#include "platform/system/Status.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include <chrono>

namespace flowtally {

// Everything Flowtally reads of the world outside its own code, in one
// place: the programs that stand for its tools, the kernel's tables, the
// buses, the clock, its folders, the log and the writing of files. The
// rest of Flowtally asks Environment::current() and nothing else, so a
// test changes the world by installing an environment of its own (an
// EnvironmentWrapper that answers some questions itself) with a
// ScopedEnvironment, and gets the system's back when that goes.
//
// Every operation may be called from any thread.
class Environment {
  public:
    virtual ~Environment() = default;

    // The environment in force: the system's, unless a test installed another.
    static Environment &current();
    // The system's own.
    static Environment &system();

    // ---- Programs ----
    // The program that does a tool's work on this platform (see ToolPaths.h
    // for the tools' names); a name the table does not hold comes back as it is.
    virtual QString toolPath(const QString &tool);
    // The longest one tool run may take before its process group is killed.
    virtual std::chrono::milliseconds toolTimeout();

    // ---- Settings ----
    // How long the settings store lets changes wait for its writer:
    // UserDefaults::kWriteInterval. Flowtally's own tests shorten it with
    // FLOWTALLY_TEST_WRITE_INTERVAL_MS (milliseconds, less than that).
    virtual std::chrono::milliseconds settingsWriteInterval();

    // ---- The kernel ----
    // The IPv4 routing and neighbour tables, and the file that names the
    // current boot (a new text after every reboot).
    virtual QString routeTablePath();
    virtual QString neighbourTablePath();
    virtual QString bootIdPath();
    // The kernel's folder of network interfaces, one folder each by name
    // (their link speed in "speed", millions of bits a second).
    virtual QString interfacesFolder();
    // This computer's host name.
    virtual QString hostName();

    // ---- The network ----
    // Whether Flowtally may look for routers over UPnP (SSDP multicast on
    // the LAN, requests to the router that answers): yes on a computer; a
    // test's environment says no unless the test lets it.
    virtual bool mayAskRoutersOverUpnp();

    // ---- flowtally-accountd ----
    // The socket it answers at where that is not the service's own (a
    // test's service); empty for the service's own (AccountdProtocol.h).
    virtual QString accountdSocket();

    // ---- Buses ----
    // The system bus (NetworkManager, logind) and the session bus (desktop
    // notifications); a connection that is not connected where there is none.
    virtual QDBusConnection systemBus();
    virtual QDBusConnection sessionBus();

    // ---- Time ----
    // The wall clock, in UTC.
    virtual QDateTime now();
    // The local time zone: where days, months and billing cycles begin.
    virtual QTimeZone timeZone();

    // ---- Folders and files ----
    // Where settings and data live: $XDG_CONFIG_HOME (else ~/.config) and
    // $XDG_DATA_HOME (else ~/.local/share); relative settings of those
    // variables are ignored, as XDG asks.
    virtual QString configFolder();
    virtual QString dataFolder();
    // The runtime folder the session names, $XDG_RUNTIME_DIR (empty where
    // it names none), and Flowtally's own folder for runtime files where
    // that one is missing or not private: "flowtally/runtime-COMPUTER" in
    // $XDG_CACHE_HOME (else ~/.cache). Both as they are named, unchecked:
    // runtime files go where RuntimeFolder.h says.
    virtual QString runtimeFolder();
    virtual QString ownRuntimeFolder();
    // Replaces the file at path with the data so that a crash or power cut
    // leaves either the old file or the new one (a temporary file in the
    // same folder, flushed, renamed over the old one). Makes the folder.
    virtual Status writeFileAtomically(const QString &path, const QByteArray &data);

    // ---- The log ----
    // One line per event, on standard error and in the system log under the
    // identifier "flowtally".
    virtual void log(const QString &line);
};

// An environment that answers every question as another one does; tests
// derive from it and answer the questions they care about themselves.
class EnvironmentWrapper : public Environment {
  public:
    explicit EnvironmentWrapper(Environment &target) : target_(target) {}

    Environment &target() const { return target_; }

    QString toolPath(const QString &tool) override { return target_.toolPath(tool); }
    std::chrono::milliseconds toolTimeout() override { return target_.toolTimeout(); }
    std::chrono::milliseconds settingsWriteInterval() override {
        return target_.settingsWriteInterval();
    }
    QString routeTablePath() override { return target_.routeTablePath(); }
    QString neighbourTablePath() override { return target_.neighbourTablePath(); }
    QString bootIdPath() override { return target_.bootIdPath(); }
    QString interfacesFolder() override { return target_.interfacesFolder(); }
    QString hostName() override { return target_.hostName(); }
    bool mayAskRoutersOverUpnp() override { return target_.mayAskRoutersOverUpnp(); }
    QString accountdSocket() override { return target_.accountdSocket(); }
    QDBusConnection systemBus() override { return target_.systemBus(); }
    QDBusConnection sessionBus() override { return target_.sessionBus(); }
    QDateTime now() override { return target_.now(); }
    QTimeZone timeZone() override { return target_.timeZone(); }
    QString configFolder() override { return target_.configFolder(); }
    QString dataFolder() override { return target_.dataFolder(); }
    QString runtimeFolder() override { return target_.runtimeFolder(); }
    QString ownRuntimeFolder() override { return target_.ownRuntimeFolder(); }
    Status writeFileAtomically(const QString &path, const QByteArray &data) override {
        return target_.writeFileAtomically(path, data);
    }
    void log(const QString &line) override { target_.log(line); }

  private:
    Environment &target_;
};

// Puts an environment in force while it lives and the one before it back
// when it goes; the settings store is opened afresh at both ends, so that it
// lives in the folders of the environment in force. Install and remove
// environments only while no other thread of Flowtally's runs.
class ScopedEnvironment {
  public:
    explicit ScopedEnvironment(Environment &environment);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

  private:
    Environment *previous_;
};

} // namespace flowtally
