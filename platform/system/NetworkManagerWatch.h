#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

namespace flowtally {

// NetworkManager's primary connection, kept from its change signals: the
// network store reads it on every tick from any thread, and must not wait
// for the bus each time. While it watches, a watch is the one the network
// store asks (DynamicStore.h); made on the main thread, answered there.
class NetworkManagerWatch : public QObject {
    Q_OBJECT

  public:
    // What is known of the primary connection.
    enum class State {
        // No NetworkManager on the bus (or no bus): the network store names
        // networks by their router.
        Absent,
        // NetworkManager runs and its answer is on the way: no network is
        // named yet, so that none is named twice.
        Asking,
        // Its answer: the connection's UUID, or none.
        Known,
    };
    struct Answer {
        State state = State::Absent;
        std::optional<QString> uuid;
        // The connection's name as NetworkManager shows it ("Home Wi-Fi"),
        // where it has one.
        std::optional<QString> name;
    };

    // Watches NetworkManager on the environment's system bus.
    explicit NetworkManagerWatch(QObject *parent = nullptr);
    ~NetworkManagerWatch() override;

    // The answer of the watch in force; Absent when none watches. Any thread.
    static Answer current();

  private slots:
    void propertiesChanged(const QString &interface, const QVariantMap &changed,
                           const QStringList &invalidated);

  private:
    void ask();
    // Asks for the UUID and the name of the active connection.
    void askConnection(const QString &activeConnection);
    // Asks NetworkManager's object at `path` for a property (`name`), or for
    // all of an interface's (no `name`); `use` gets the reply's first
    // argument, or none on an error, unless another question was asked
    // meanwhile.
    void askProperty(const QString &path, const QString &interface,
                     const std::optional<QString> &name,
                     std::function<void(const std::optional<QVariant> &)> use);
    void settle(State state, std::optional<QString> uuid, std::optional<QString> name = {});

    QDBusConnection bus_;
    QDBusServiceWatcher *service_ = nullptr;
    // Answers to questions asked before the last change are dropped.
    quint64 question_ = 0;
};

} // namespace flowtally
