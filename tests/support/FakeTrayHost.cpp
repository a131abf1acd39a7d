#include "FakeTrayHost.h"

#include <QDBusMessage>
#include <QMutexLocker>

namespace flowtally {

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");

} // namespace

QStringList FakeStatusNotifierWatcher::items() const {
    const QMutexLocker locked(&mutex_);
    return items_;
}

void FakeStatusNotifierWatcher::RegisterStatusNotifierItem(const QString &serviceOrPath) {
    // An item may give its object's path only: its bus name is the caller's.
    const QString service =
        serviceOrPath.startsWith(QLatin1Char('/')) ? message().service() : serviceOrPath;
    const QMutexLocker locked(&mutex_);
    items_.append(service);
}

FakeTrayHost::FakeTrayHost(QDBusConnection connection) : connection_(std::move(connection)) {
    watcher_.moveToThread(&thread_);
    thread_.start();
    // No signals: their exporter would be a child made on this thread.
    serving_ = connection_.registerObject(kWatcherPath, &watcher_,
                                          QDBusConnection::ExportAllSlots |
                                              QDBusConnection::ExportAllProperties) &&
               connection_.registerService(kWatcherService);
}

FakeTrayHost::~FakeTrayHost() {
    connection_.unregisterService(kWatcherService);
    connection_.unregisterObject(kWatcherPath);
    thread_.quit();
    thread_.wait();
}

QString FakeTrayHost::waitForItem() {
    for (int slice = 0; slice < 200; ++slice) {
        if (const QStringList items = watcher_.items(); items.size() > given_)
            return items.at(given_++);
        QThread::msleep(100);
    }
    return QString();
}

} // namespace flowtally
