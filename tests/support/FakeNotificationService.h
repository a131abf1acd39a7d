#pragma once

#include <QDBusContext>
#include <QDBusError>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace flowtally {

inline const QString kNotificationsService = QStringLiteral("org.freedesktop.Notifications");
inline const QString kNotificationsPath = QStringLiteral("/org/freedesktop/Notifications");

// What the service was sent, and whether send() had returned by then.
struct Notification {
    QString appName;
    uint replacesId = 0;
    QString icon, summary, body;
    QStringList actions;
    QVariantMap hints;
    int timeout = 0;
    bool afterSendReturned = false;
};

// A notification service that records what it is sent and answers as told;
// registered with its signals exported, it tells of the actions taken.
class FakeNotificationService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

  public:
    enum class Answer { Id, Error, Nothing };

    QStringList capabilities{QStringLiteral("body")};
    Answer answer = Answer::Id;
    const bool *sendReturned = nullptr;
    QList<Notification> received;

  public slots:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString &appName, uint replacesId, const QString &icon,
                const QString &summary, const QString &body, const QStringList &actions,
                const QVariantMap &hints, int timeout) {
        received.append({appName, replacesId, icon, summary, body, actions, hints, timeout,
                         sendReturned && *sendReturned});
        if (answer == Answer::Error)
            sendErrorReply(QDBusError::Failed, QStringLiteral("The screen is locked"));
        else if (answer == Answer::Nothing)
            setDelayedReply(true); // and never replies
        return static_cast<uint>(received.size());
    }

  signals:
    // A person took the action `actionKey` of the notification `id`.
    void ActionInvoked(uint id, const QString &actionKey);
};

} // namespace flowtally
