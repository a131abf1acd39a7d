#pragma once

#include "ProgramRun.h"

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
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    bool isRunning() const { return !address_.isEmpty(); }
    // A connection of its own for `who`; the address makes the name unique.
    QDBusConnection connection(const QString &who);

  private:
    ProgramRun daemon_;
    QString address_;
    QStringList names_;
};

} // namespace flowtally
