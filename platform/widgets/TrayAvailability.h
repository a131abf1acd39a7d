#pragma once

#include <QObject>

#include <chrono>
#include <functional>

class QDBusServiceWatcher;

namespace flowtally {

// Tells, once, when the desktop has a tray for a QSystemTrayIcon: at once
// where it has one, else when one comes. Qt decides only once per process
// whether its tray icons go to the panel's StatusNotifierItem watcher on the
// session bus, and settles on none when asked before the panel has put its
// watcher there, as it is when a program starts with the desktop session.
// So Qt is asked once the watcher is there, else after `grace` (a tray of
// the older XEmbed kind has no watcher), and again whenever a watcher comes.
class TrayAvailability : public QObject {
    Q_OBJECT

  public:
    TrayAvailability(std::function<void()> available, std::chrono::milliseconds grace,
                     QObject *parent = nullptr);

  private:
    void ask();

    std::function<void()> available_;
    QDBusServiceWatcher *watcher_ = nullptr;
    bool told_ = false;
};

} // namespace flowtally
