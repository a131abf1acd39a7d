#include "platform/system/NetworkManagerWatch.h"

#include "platform/system/Environment.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

#include <mutex>

namespace flowtally {

namespace {

const QString kService = QStringLiteral("org.freedesktop.NetworkManager");
const QString kPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kActiveConnection =
    QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

std::mutex answerMutex;
NetworkManagerWatch::Answer answer;
const NetworkManagerWatch *watching = nullptr;

} // namespace

NetworkManagerWatch::NetworkManagerWatch(QObject *parent)
    : QObject(parent), bus_(Environment::current().systemBus()) {
    {
        std::lock_guard lock(answerMutex);
        watching = this;
        answer = {};
    }
    if (!bus_.isConnected())
        return;
    service_ = new QDBusServiceWatcher(kService, bus_,
                                       QDBusServiceWatcher::WatchForRegistration |
                                           QDBusServiceWatcher::WatchForUnregistration,
                                       this);
    connect(service_, &QDBusServiceWatcher::serviceRegistered, this, [this] { ask(); });
    connect(service_, &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { settle(State::Absent, std::nullopt); });
    bus_.connect(kService, kPath, kProperties, QStringLiteral("PropertiesChanged"), this,
                 SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    if (bus_.interface()->isServiceRegistered(kService))
        ask();
}

NetworkManagerWatch::~NetworkManagerWatch() {
    std::lock_guard lock(answerMutex);
    if (watching == this) {
        watching = nullptr;
        answer = {};
    }
}

NetworkManagerWatch::Answer NetworkManagerWatch::current() {
    std::lock_guard lock(answerMutex);
    return answer;
}

void NetworkManagerWatch::settle(State state, std::optional<QString> uuid,
                                 std::optional<QString> name) {
    std::lock_guard lock(answerMutex);
    if (watching == this)
        answer = {state, std::move(uuid), std::move(name)};
}

void NetworkManagerWatch::ask() {
    askProperty(kPath, kService, QStringLiteral("PrimaryConnection"),
                [this](const std::optional<QVariant> &value) {
                    if (!value) {
                        settle(State::Known, std::nullopt);
                        return;
                    }
                    askConnection(value->value<QDBusObjectPath>().path());
                });
}

void NetworkManagerWatch::askConnection(const QString &activeConnection) {
    if (activeConnection.isEmpty() || activeConnection == QLatin1String("/")) {
        ++question_;
        settle(State::Known, std::nullopt);
        return;
    }
    askProperty(activeConnection, kActiveConnection, std::nullopt,
                [this](const std::optional<QVariant> &value) {
                    const QVariantMap properties =
                        value ? qdbus_cast<QVariantMap>(*value) : QVariantMap();
                    const QString uuid = properties.value(QStringLiteral("Uuid")).toString();
                    const QString name =
                        properties.value(QStringLiteral("Id")).toString().trimmed();
                    settle(State::Known, uuid.isEmpty() ? std::nullopt : std::optional(uuid),
                           name.isEmpty() ? std::nullopt : std::optional(name));
                });
}

void NetworkManagerWatch::askProperty(const QString &path, const QString &interface,
                                      const std::optional<QString> &name,
                                      std::function<void(const std::optional<QVariant> &)> use) {
    const quint64 question = ++question_;
    settle(State::Asking, std::nullopt);
    QDBusMessage call = QDBusMessage::createMethodCall(
        kService, path, kProperties, name ? QStringLiteral("Get") : QStringLiteral("GetAll"));
    call << interface;
    if (name)
        call << *name;
    auto *pending = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, question, use = std::move(use)](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                if (question != question_)
                    return;
                const QDBusMessage reply = finished->reply();
                if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
                    use(std::nullopt);
                    return;
                }
                // Get answers a variant, GetAll a map of them.
                const QVariant first = reply.arguments().first();
                use(first.userType() == qMetaTypeId<QDBusVariant>()
                        ? qvariant_cast<QDBusVariant>(first).variant()
                        : first);
            });
}

void NetworkManagerWatch::propertiesChanged(const QString &interface, const QVariantMap &changed,
                                            const QStringList &invalidated) {
    if (interface != kService)
        return;
    const QString key = QStringLiteral("PrimaryConnection");
    if (changed.contains(key))
        askConnection(qdbus_cast<QDBusObjectPath>(changed.value(key)).path());
    else if (invalidated.contains(key))
        ask();
}

} // namespace flowtally
