#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QMap>
#include <QObject>
#include <QVariantMap>

namespace flowtally {

inline const QString kNetworkManagerService = QStringLiteral("org.freedesktop.NetworkManager");
inline const QString kNetworkManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
inline const QString kHomeConnectionPath =
    QStringLiteral("/org/freedesktop/NetworkManager/ActiveConnection/1");
inline const QString kOfficeConnectionPath =
    QStringLiteral("/org/freedesktop/NetworkManager/ActiveConnection/2");
inline const QString kConnectionSettingsPath =
    QStringLiteral("/org/freedesktop/NetworkManager/Settings/7");

// A connection's settings as NetworkManager keeps them (a{sa{sv}}).
using ConnectionSettings = QMap<QString, QVariantMap>;

// NetworkManager's object with the properties Flowtally asks for; the bus
// answers the questions for the primary connection through the getter,
// which counts them.
class FakeNetworkManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager")
    Q_PROPERTY(uint Metered READ metered)
    Q_PROPERTY(QDBusObjectPath PrimaryConnection READ primaryConnection)

  public:
    uint metered() const { return value; }
    QDBusObjectPath primaryConnection() {
        ++questions;
        return QDBusObjectPath(primary);
    }
    uint value = 0;
    QString primary = QStringLiteral("/"); // the active connection's path, "/" for none
    int questions = 0;
};

// An active connection: its UUID (its questions counted too), its name, and
// its stored settings.
class FakeActiveConnection : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager.Connection.Active")
    Q_PROPERTY(QString Uuid READ uuid)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QDBusObjectPath Connection READ connection)

  public:
    FakeActiveConnection(QString uuid, QString id, int *questions)
        : uuid_(std::move(uuid)), id_(std::move(id)), questions_(questions) {}
    QString uuid() {
        ++*questions_;
        return uuid_;
    }
    QString id() const { return id_; }
    QDBusObjectPath connection() const { return QDBusObjectPath(kConnectionSettingsPath); }

  private:
    QString uuid_;
    QString id_;
    int *questions_;
};

// A connection's stored settings; Update takes only a{sa{sv}}, as
// NetworkManager does, and replaces them whole, or refuses with the error
// named in `refusal`.
class FakeSettingsConnection : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager.Settings.Connection")

  public slots:
    // Spelled out: the bus finds the argument's type by the name moc keeps.
    QMap<QString, QVariantMap> GetSettings() { return settings; }
    void Update(const QMap<QString, QVariantMap> &replacement) {
        if (!refusal.isEmpty()) {
            sendErrorReply(refusal, QStringLiteral("Not authorized to modify this connection"));
            return;
        }
        settings = replacement;
        ++updates;
    }

  public:
    ConnectionSettings settings;
    QString refusal;
    int updates = 0;
};

// NetworkManager's objects: the manager, the home and office connections
// (active, with the UUIDs below) and one connection's settings, registered
// on the connection given, which then speaks for NetworkManager once it
// takes its name.
struct FakeNetworkManagerObjects {
    static inline const QString kHomeUuid = QStringLiteral("3b1f0c52-0000-4000-8000-0000000000a1");
    static inline const QString kOfficeUuid =
        QStringLiteral("3b1f0c52-0000-4000-8000-0000000000a2");

    // Whether every object was registered.
    bool registerOn(const QDBusConnection &connection) {
        qDBusRegisterMetaType<ConnectionSettings>();
        qDBusRegisterMetaType<QList<QVariantMap>>();
        bus = connection;
        const auto properties = QDBusConnection::ExportAllProperties;
        return bus.registerObject(kNetworkManagerPath, &manager, properties) &&
               bus.registerObject(kHomeConnectionPath, &home, properties) &&
               bus.registerObject(kOfficeConnectionPath, &office, properties) &&
               bus.registerObject(kConnectionSettingsPath, &settings,
                                  QDBusConnection::ExportAllSlots);
    }
    // A property of NetworkManager's object changes, and it says so.
    void announce(const QString &property, const QVariant &value) {
        bus.send(QDBusMessage::createSignal(kNetworkManagerPath,
                                            QStringLiteral("org.freedesktop.DBus.Properties"),
                                            QStringLiteral("PropertiesChanged"))
                 << kNetworkManagerService << QVariantMap{{property, value}} << QStringList());
    }
    void meteredBecomes(uint value) {
        manager.value = value;
        announce(QStringLiteral("Metered"), value);
    }
    void primaryBecomes(const QString &path) {
        manager.primary = path;
        announce(QStringLiteral("PrimaryConnection"), QVariant::fromValue(QDBusObjectPath(path)));
    }

    QDBusConnection bus{QString()};
    FakeNetworkManager manager;
    FakeActiveConnection home{kHomeUuid, QStringLiteral("Home Wi-Fi"), &manager.questions};
    FakeActiveConnection office{kOfficeUuid, QStringLiteral("Office"), &manager.questions};
    FakeSettingsConnection settings;
};

} // namespace flowtally
