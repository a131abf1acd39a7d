#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace flowtally {

// A dbus-daemon of the test's own, and the connections made to it; all
// ended as it goes.
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
    QProcess daemon_;
    QString address_;
    QStringList names_;
};

} // namespace flowtally
