#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QMutex>
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
    QStringList items() const;

  public slots:
    void RegisterStatusNotifierItem(const QString &serviceOrPath);
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
    explicit FakeTrayHost(QDBusConnection connection);
    ~FakeTrayHost();
    FakeTrayHost(const FakeTrayHost &) = delete;
    FakeTrayHost &operator=(const FakeTrayHost &) = delete;

    bool isServing() const { return serving_; }
    // The bus name of the next item to register, the first that this call
    // did not give yet, once there is one (20 s at most); empty if none came.
    QString waitForItem();

  private:
    QDBusConnection connection_;
    QThread thread_;
    FakeStatusNotifierWatcher watcher_;
    bool serving_ = false;
    qsizetype given_ = 0;
};

} // namespace flowtally
