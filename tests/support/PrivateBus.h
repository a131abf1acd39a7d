#pragma once

#include "platform/process/ProgramRun.h"

#include <QDBusConnection>
#include <QString>
#include <QStringList>

namespace flowtally {

// A dbus-daemon of the test's own, and the connections made to it; all
// ended as it goes. The daemon is started as Flowtally starts its tools
// (posix_spawn), not through QProcess, whose vfork start ThreadSanitizer
// cannot follow: the thread-sanitizer run checks these tests too.
class PrivateBus {
  public:
    // Listening where the session bus listens (an abstract socket here), or
    // on a socket file in `socketFolder`, which programs in other network
    // namespaces reach as well.
    explicit PrivateBus(const QString &socketFolder = QString());
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    bool isRunning() const { return !address_.isEmpty(); }
    // Its address, for DBUS_SESSION_BUS_ADDRESS.
    QString address() const { return address_; }
    // A connection of its own for `who`; the address makes the name unique.
    QDBusConnection connection(const QString &who);

  private:
    ProgramRun daemon_;
    QString address_;
    QStringList names_;
};

} // namespace flowtally
