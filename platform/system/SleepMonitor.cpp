#include "platform/system/SleepMonitor.h"

#include "platform/system/Environment.h"
#include "platform/system/SystemLog.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace flowtally {

SleepMonitor::SleepMonitor(QObject *parent)
    : SleepMonitor(Environment::current().systemBus(), Service(), parent) {}

SleepMonitor::SleepMonitor(const QDBusConnection &bus, const Service &service, QObject *parent)
    : QObject(parent), bus_(bus), service_(service) {
    if (!bus_.isConnected()) {
        systemLog(QStringLiteral("No sleep and wake notifications: no system bus (%1)")
                      .arg(bus_.lastError().message()));
        return;
    }
    if (!bus_.interface()->isServiceRegistered(service_.name)) {
        systemLog(QStringLiteral("No sleep and wake notifications: %1 is not running")
                      .arg(service_.name));
        return;
    }
    watching_ =
        bus_.connect(service_.name, service_.path, service_.interface,
                     QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool))) &&
        bus_.connect(service_.name, service_.path, service_.interface,
                     QStringLiteral("PrepareForShutdown"), this, SLOT(prepareForShutdown(bool)));
    if (!watching_) {
        systemLog(
            QStringLiteral("No sleep and wake notifications: %1").arg(bus_.lastError().message()));
        return;
    }
    takeLock();
}

SleepMonitor::~SleepMonitor() {
    if (watching_) {
        bus_.disconnect(service_.name, service_.path, service_.interface,
                        QStringLiteral("PrepareForSleep"), this, SLOT(prepareForSleep(bool)));
        bus_.disconnect(service_.name, service_.path, service_.interface,
                        QStringLiteral("PrepareForShutdown"), this, SLOT(prepareForShutdown(bool)));
    }
}

void SleepMonitor::takeLock() {
    QDBusMessage call = QDBusMessage::createMethodCall(
        service_.name, service_.path, service_.interface, QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:shutdown") << QStringLiteral("Flowtally")
         << QStringLiteral("Storing the traffic counted") << QStringLiteral("delay");
    // Asked without blocking: the answer comes through the event loop.
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *finished;
                if (reply.isError()) {
                    systemLog(QStringLiteral("Sleep is not delayed for Flowtally: %1")
                                  .arg(reply.error().message()));
                    return;
                }
                // A lock granted after sleep has begun would only hold it up.
                if (!sleeping_)
                    lock_ = reply.value();
            });
}

void SleepMonitor::prepareForShutdown(bool start) {
    // Only the start of a shutdown is told; one that is called off gives
    // the lock back with a new one.
    if (start) {
        emit willShutDown();
        lock_ = QDBusUnixFileDescriptor();
    } else {
        takeLock();
    }
}

void SleepMonitor::prepareForSleep(bool start) {
    if (start == sleeping_)
        return;
    sleeping_ = start;
    if (start) {
        emit willSleep();
        lock_ = QDBusUnixFileDescriptor();
    } else {
        emit didWake();
        takeLock();
    }
}

} // namespace flowtally
