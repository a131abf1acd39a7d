#include "alerts/DesktopNotifier.h"

#include "platform/system/Environment.h"
#include "platform/system/SystemLog.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>

namespace flowtally {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kAppName = QStringLiteral("Flowtally");
const QString kIcon = QStringLiteral("flowtally"); // also the desktop entry's name
const QString kOfferKey = QStringLiteral("offer");

// The standard's urgency levels, sent as a byte.
constexpr uchar kNormalUrgency = 1;
constexpr uchar kCriticalUrgency = 2;
// Shown for as long as the service chooses.
constexpr int kServiceTimeout = -1;

QDBusMessage serviceCall(const QString &method) {
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

} // namespace

DesktopNotifier::DesktopNotifier(std::chrono::milliseconds answerTimeout, QObject *parent)
    : QObject(parent), timeoutMs_(static_cast<int>(answerTimeout.count())) {}

void DesktopNotifier::send(const AlertText &alert) {
    QDBusConnection bus = Environment::current().sessionBus();
    if (!bus.isConnected()) {
        const QString reason = bus.lastError().isValid() ? bus.lastError().message()
                                                         : QStringLiteral("no session bus");
        // Reported through the loop, as every other outcome is.
        QTimer::singleShot(0, this, [this, alert, reason] { failed(alert, reason); });
        return;
    }
    auto *watcher = new QDBusPendingCallWatcher(
        bus.asyncCall(serviceCall(QStringLiteral("GetCapabilities")), timeoutMs_), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, bus, alert](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                const QDBusPendingReply<QStringList> reply = *finished;
                if (reply.isError())
                    failed(alert, reply.error().message());
                else
                    notify(bus, alert, reply.value());
            });
}

void DesktopNotifier::notify(QDBusConnection bus, const AlertText &alert,
                             const QStringList &capabilities) {
    const bool bodyMarkup = capabilities.contains(QStringLiteral("body-markup"));
    const bool offered = !alert.offer.isEmpty() && capabilities.contains(QStringLiteral("actions"));
    if (offered)
        bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                    SLOT(actionInvoked(uint, QString)));
    const uchar urgency =
        alert.urgency == AlertText::Urgency::Critical ? kCriticalUrgency : kNormalUrgency;
    const QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(urgency)},
                            {QStringLiteral("desktop-entry"), kIcon}};
    QDBusMessage call = serviceCall(QStringLiteral("Notify"));
    call << kAppName << 0u << kIcon << alert.summary()
         << (bodyMarkup ? alert.body.toHtmlEscaped() : alert.body)
         << (offered ? QStringList{kOfferKey, alert.offer} : QStringList()) << hints
         << kServiceTimeout;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, timeoutMs_), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, alert, offered](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                const QDBusPendingReply<uint> reply = *finished;
                if (reply.isError()) {
                    failed(alert, reply.error().message());
                    return;
                }
                if (offered)
                    offered_.insert(reply.value());
                succeeded();
            });
}

void DesktopNotifier::actionInvoked(uint id, const QString &actionKey) {
    // The service tells every program of every action taken.
    if (actionKey == kOfferKey && offered_.remove(id))
        emit offerTaken();
}

void DesktopNotifier::succeeded() {
    failing_ = false;
    emit shown();
}

void DesktopNotifier::failed(const AlertText &alert, const QString &reason) {
    if (!failing_)
        systemLog(QStringLiteral("No desktop notifications (%1): alerts go to the status line")
                      .arg(reason));
    failing_ = true;
    emit notShown(alert.statusLine());
}

} // namespace flowtally
