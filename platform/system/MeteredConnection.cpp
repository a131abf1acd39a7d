#include "platform/system/MeteredConnection.h"

#include "platform/system/Environment.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

namespace flowtally {

namespace {

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
const QString kPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kActiveConnection =
    QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
const QString kSettingsConnection =
    QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection");
const QString kMetered = QStringLiteral("Metered");

// A connection's settings as NetworkManager hands them over and takes them
// back: setting name → property → value (a{sa{sv}}).
using ConnectionSettings = QMap<QString, QVariantMap>;

// NetworkManager's NMMetered values that count as metered.
constexpr uint kMeteredYes = 1;
constexpr uint kMeteredGuessYes = 3;
// connection.metered's value for yes; an int32 on the bus.
constexpr qint32 kSettingMeteredYes = 1;

bool meteredOf(uint value) {
    return value == kMeteredYes || value == kMeteredGuessYes;
}

QDBusMessage propertyQuestion(const QString &path, const QString &interface, const QString &name) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, path, kProperties, QStringLiteral("Get"));
    call << interface << name;
    return call;
}

QVariant propertyOf(const QDBusMessage &reply) {
    return reply.arguments().value(0).value<QDBusVariant>().variant();
}

QString pathOf(const QDBusMessage &reply) {
    return qdbus_cast<QDBusObjectPath>(propertyOf(reply)).path();
}

Status failureOf(const QDBusError &error, const QString &what) {
    const QString message =
        QStringLiteral("NetworkManager did not mark the connection metered (%1): %2")
            .arg(what, error.message().isEmpty() ? error.name() : error.message());
    switch (error.type()) {
    case QDBusError::AccessDenied:
        return Status::refused(message);
    case QDBusError::ServiceUnknown:
    case QDBusError::UnknownObject:
        return Status::notFound(message);
    default:
        // NetworkManager's own refusals carry names of its own.
        return error.name().endsWith(QLatin1String(".PermissionDenied")) ? Status::refused(message)
                                                                         : Status::ioError(message);
    }
}

} // namespace

MeteredConnection::MeteredConnection(QObject *parent)
    : QObject(parent), bus_(Environment::current().systemBus()) {
    qDBusRegisterMetaType<ConnectionSettings>();
    if (!bus_.isConnected())
        return;
    // A new owner of the name is a NetworkManager that has not told yet.
    service_ =
        new QDBusServiceWatcher(kService, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(service_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &owner) {
                ++question_;
                take(std::nullopt);
                if (!owner.isEmpty())
                    ask();
            });
    bus_.connect(kService, kPath, kProperties, QStringLiteral("PropertiesChanged"), this,
                 SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    if (bus_.interface()->isServiceRegistered(kService))
        ask();
}

MeteredConnection::~MeteredConnection() = default;

void MeteredConnection::take(std::optional<bool> metered) {
    if (metered == metered_)
        return;
    metered_ = metered;
    emit meteredChanged();
}

void MeteredConnection::ask() {
    const quint64 question = ++question_;
    auto *pending = new QDBusPendingCallWatcher(
        bus_.asyncCall(propertyQuestion(kPath, kService, kMetered)), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, question](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                if (question != question_)
                    return;
                const QDBusMessage reply = finished->reply();
                // A NetworkManager too old to tell is one that cannot tell.
                take(reply.type() == QDBusMessage::ReplyMessage
                         ? std::optional(meteredOf(propertyOf(reply).toUInt()))
                         : std::nullopt);
            });
}

void MeteredConnection::propertiesChanged(const QString &interface, const QVariantMap &changed,
                                          const QStringList &invalidated) {
    if (interface != kService)
        return;
    if (changed.contains(kMetered)) {
        ++question_;
        take(meteredOf(changed.value(kMetered).toUInt()));
    } else if (invalidated.contains(kMetered)) {
        ask();
    }
}

void MeteredConnection::send(const QDBusMessage &call, const QString &what,
                             const std::function<void(const Status &)> &done,
                             std::function<void(const QDBusMessage &)> then) {
    auto *pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [what, done, then = std::move(then)](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                if (finished->isError())
                    done(failureOf(finished->error(), what));
                else
                    then(finished->reply());
            });
}

void MeteredConnection::markMetered(std::function<void(const Status &)> done) {
    if (!bus_.isConnected()) {
        done(Status::notFound(QStringLiteral("There is no system bus to reach NetworkManager.")));
        return;
    }
    // The primary connection, its settings, and those settings with
    // connection.metered set, handed back whole: Update replaces them all,
    // and keeps the stored secrets when the new settings bring none.
    const auto update = [this, done](const QString &settingsPath, ConnectionSettings settings) {
        settings[QStringLiteral("connection")].insert(QStringLiteral("metered"),
                                                      kSettingMeteredYes);
        QDBusMessage call = QDBusMessage::createMethodCall(
            kService, settingsPath, kSettingsConnection, QStringLiteral("Update"));
        call << QVariant::fromValue(settings);
        send(call, QStringLiteral("saving the settings"), done,
             [done](const QDBusMessage &) { done(Status::success()); });
    };
    const auto readSettings = [this, done, update](const QDBusMessage &reply) {
        const QString settingsPath = pathOf(reply);
        send(QDBusMessage::createMethodCall(kService, settingsPath, kSettingsConnection,
                                            QStringLiteral("GetSettings")),
             QStringLiteral("reading the settings"), done,
             [settingsPath, update](const QDBusMessage &settings) {
                 update(settingsPath,
                        qdbus_cast<ConnectionSettings>(settings.arguments().value(0)));
             });
    };
    send(propertyQuestion(kPath, kService, QStringLiteral("PrimaryConnection")),
         QStringLiteral("finding the primary connection"), done,
         [this, done, readSettings](const QDBusMessage &reply) {
             const QString active = pathOf(reply);
             if (active.isEmpty() || active == QLatin1String("/")) {
                 done(Status::notFound(
                     QStringLiteral("There is no primary connection to mark metered.")));
                 return;
             }
             send(propertyQuestion(active, kActiveConnection, QStringLiteral("Connection")),
                  QStringLiteral("finding the connection's settings"), done, readSettings);
         });
}

} // namespace flowtally
