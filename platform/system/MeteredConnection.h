#pragma once

#include "platform/system/Status.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <optional>

class QDBusMessage;
class QDBusServiceWatcher;

namespace flowtally {

// Whether the Internet connection costs by the byte, as NetworkManager tells
// it (its Metered property, which follows the device of the primary
// connection), kept from its change signals; and the one change Flowtally
// makes there: marking the primary connection metered, so that the programs
// that honour it (software updates, file sync) put off their downloads.
// Watches the environment's system bus. Main thread.
class MeteredConnection : public QObject {
    Q_OBJECT

  public:
    explicit MeteredConnection(QObject *parent = nullptr);
    ~MeteredConnection() override;

    // Yes for NetworkManager's "yes" and "guess yes", no for whatever else it
    // says ("no", "guess no", "unknown"); none while nobody can tell: no
    // NetworkManager, no bus, or its first answer not in yet.
    std::optional<bool> isMetered() const { return metered_; }

    // Marks the primary connection metered in NetworkManager for good
    // (connection.metered = yes, saved to disk; its other settings and its
    // secrets stay as they are). `done` gets the outcome later, on the main
    // thread; NetworkManager's new Metered value comes through isMetered().
    void markMetered(std::function<void(const Status &)> done);

  signals:
    void meteredChanged();

  private slots:
    void propertiesChanged(const QString &interface, const QVariantMap &changed,
                           const QStringList &invalidated);

  private:
    void ask();
    void take(std::optional<bool> metered);
    // Sends `call`; `then` gets the reply, or `done` the failure as `what`
    // failed.
    void send(const QDBusMessage &call, const QString &what,
              const std::function<void(const Status &)> &done,
              std::function<void(const QDBusMessage &)> then);

    QDBusConnection bus_;
    QDBusServiceWatcher *service_ = nullptr;
    std::optional<bool> metered_;
    // Answers to questions asked before the last change are dropped.
    quint64 question_ = 0;
};

} // namespace flowtally
