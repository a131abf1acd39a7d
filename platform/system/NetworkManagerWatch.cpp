#include "NetworkManagerWatch.h"

#include "Environment.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
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

QDBusPendingCall askProperty(const QDBusConnection &bus, const QString &path,
                             const QString &interface, const QString &name) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, path, kProperties, QStringLiteral("Get"));
    call << interface << name;
    return bus.asyncCall(call);
}

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

void NetworkManagerWatch::settle(State state, std::optional<QString> uuid) {
    std::lock_guard lock(answerMutex);
    if (watching == this)
        answer = {state, std::move(uuid)};
}

void NetworkManagerWatch::ask() {
    const quint64 question = ++question_;
    settle(State::Asking, std::nullopt);
    auto *pending = new QDBusPendingCallWatcher(
        askProperty(bus_, kPath, kService, QStringLiteral("PrimaryConnection")), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, question](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                if (question != question_)
                    return;
                const QDBusPendingReply<QDBusVariant> reply = *finished;
                if (reply.isError()) {
                    settle(State::Known, std::nullopt);
                    return;
                }
                askUuid(reply.value().variant().value<QDBusObjectPath>().path());
            });
}

void NetworkManagerWatch::askUuid(const QString &activeConnection) {
    const quint64 question = ++question_;
    if (activeConnection.isEmpty() || activeConnection == QLatin1String("/")) {
        settle(State::Known, std::nullopt);
        return;
    }
    settle(State::Asking, std::nullopt);
    auto *pending = new QDBusPendingCallWatcher(
        askProperty(bus_, activeConnection, kActiveConnection, QStringLiteral("Uuid")), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, question](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                if (question != question_)
                    return;
                const QDBusPendingReply<QDBusVariant> reply = *finished;
                const QString uuid =
                    reply.isError() ? QString() : reply.value().variant().toString();
                settle(State::Known, uuid.isEmpty() ? std::nullopt : std::optional(uuid));
            });
}

void NetworkManagerWatch::propertiesChanged(const QString &interface, const QVariantMap &changed,
                                            const QStringList &invalidated) {
    if (interface != kService)
        return;
    const QString key = QStringLiteral("PrimaryConnection");
    if (changed.contains(key))
        askUuid(qdbus_cast<QDBusObjectPath>(changed.value(key)).path());
    else if (invalidated.contains(key))
        ask();
}

} // namespace flowtally
