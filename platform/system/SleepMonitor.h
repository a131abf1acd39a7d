#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>

namespace flowtally {

// Tells Flowtally when the system is about to sleep and when it has woken,
// and when it is about to shut down, from systemd-logind's PrepareForSleep
// and PrepareForShutdown signals. While awake it holds a delay inhibitor
// lock, so that the system waits for the willSleep() and willShutDown()
// handlers to return before it sleeps or shuts down (up to logind's own
// limit). Where there is no
// system bus or no logind, it stays silent and writes one log line.
class SleepMonitor : public QObject {
    Q_OBJECT

  public:
    // Where logind is found; tests put a stand-in on a bus of their own.
    struct Service {
        QString name = QStringLiteral("org.freedesktop.login1");
        QString path = QStringLiteral("/org/freedesktop/login1");
        QString interface = QStringLiteral("org.freedesktop.login1.Manager");
    };

    // Watches logind on the environment's system bus.
    explicit SleepMonitor(QObject *parent = nullptr);
    SleepMonitor(const QDBusConnection &bus, const Service &service, QObject *parent = nullptr);
    ~SleepMonitor() override;

    // Whether sleep and wake are being watched.
    bool isWatching() const { return watching_; }
    // Whether the inhibitor lock is held now.
    bool holdsLock() const { return lock_.isValid(); }

  signals:
    // Emitted on the main thread; the system sleeps once every handler has
    // returned.
    void willSleep();
    void didWake();
    void willShutDown();

  private slots:
    void prepareForSleep(bool start);
    void prepareForShutdown(bool start);

  private:
    void takeLock();

    QDBusConnection bus_;
    Service service_;
    bool watching_ = false;
    bool sleeping_ = false;
    QDBusUnixFileDescriptor lock_;
};

} // namespace flowtally
