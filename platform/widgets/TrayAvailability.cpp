#include "platform/widgets/TrayAvailability.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QSystemTrayIcon>
#include <QTimer>

namespace flowtally {

namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");

} // namespace

TrayAvailability::TrayAvailability(std::function<void()> available, std::chrono::milliseconds grace,
                                   QObject *parent)
    : QObject(parent), available_(std::move(available)) {
    // The bus that Qt's tray icons use.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        ask();
        return;
    }
    watcher_ =
        new QDBusServiceWatcher(kWatcher, bus, QDBusServiceWatcher::WatchForRegistration, this);
    connect(watcher_, &QDBusServiceWatcher::serviceRegistered, this, &TrayAvailability::ask);
    if (bus.interface() && bus.interface()->isServiceRegistered(kWatcher))
        ask();
    else
        QTimer::singleShot(grace, this, &TrayAvailability::ask);
}

void TrayAvailability::ask() {
    if (told_ || !QSystemTrayIcon::isSystemTrayAvailable())
        return;
    told_ = true;
    if (watcher_)
        watcher_->deleteLater();
    watcher_ = nullptr;
    available_();
}

} // namespace flowtally
