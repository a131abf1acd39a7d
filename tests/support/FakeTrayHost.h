#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QStringList>
#include <QThread>

namespace flowtally {

// The watcher of a desktop's tray: its name on the bus tells programs that
// a tray shows their StatusNotifierItems, and they register with it.
class FakeStatusNotifierWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)

  public:
    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    // The bus names of the items registered so far; any thread.
    QStringList items() const {
        const QMutexLocker locked(&mutex_);
        return items_;
    }

  public slots:
    void RegisterStatusNotifierItem(const QString &serviceOrPath) {
        // An item may give its object's path only: its bus name is the caller's.
        const QString service =
            serviceOrPath.startsWith(QLatin1Char('/')) ? message().service() : serviceOrPath;
        const QMutexLocker locked(&mutex_);
        items_.append(service);
    }
    void RegisterStatusNotifierHost(const QString &) {}

  private:
    mutable QMutex mutex_;
    QStringList items_;
};

// A tray host as a desktop's panel is one: the watcher above on a bus, on a
// thread of its own, so that a program that asks it and waits for the
// answer (Qt's tray icon does) gets it even while the test's own thread
// sleeps or makes calls of its own.
class FakeTrayHost {
  public:
    explicit FakeTrayHost(QDBusConnection connection) : connection_(std::move(connection)) {
        watcher_.moveToThread(&thread_);
        thread_.start();
        // No signals: their exporter would be a child made on this thread.
        serving_ = connection_.registerObject(kWatcherPath, &watcher_,
                                              QDBusConnection::ExportAllSlots |
                                                  QDBusConnection::ExportAllProperties) &&
                   connection_.registerService(kWatcherService);
    }
    ~FakeTrayHost() {
        connection_.unregisterService(kWatcherService);
        connection_.unregisterObject(kWatcherPath);
        thread_.quit();
        thread_.wait();
    }
    FakeTrayHost(const FakeTrayHost &) = delete;
    FakeTrayHost &operator=(const FakeTrayHost &) = delete;

    bool isServing() const { return serving_; }
    // The bus name of the next item to register, the first that this call
    // did not give yet, once there is one (20 s at most); empty if none came.
    QString waitForItem() {
        for (int slice = 0; slice < 200; ++slice) {
            if (const QStringList items = watcher_.items(); items.size() > given_)
                return items.at(given_++);
            QThread::msleep(100);
        }
        return QString();
    }

  private:
    static inline const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
    static inline const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");

    QDBusConnection connection_;
    QThread thread_;
    FakeStatusNotifierWatcher watcher_;
    bool serving_ = false;
    qsizetype given_ = 0;
};

} // namespace flowtally
