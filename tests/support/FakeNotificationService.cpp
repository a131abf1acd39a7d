#include "FakeNotificationService.h"

namespace flowtally {

uint FakeNotificationService::Notify(const QString &appName, uint replacesId, const QString &icon,
                                     const QString &summary, const QString &body,
                                     const QStringList &actions, const QVariantMap &hints,
                                     int timeout) {
    received.append({appName, replacesId, icon, summary, body, actions, hints, timeout,
                     sendReturned && *sendReturned});
    if (answer == Answer::Error)
        sendErrorReply(QDBusError::Failed, QStringLiteral("The screen is locked"));
    else if (answer == Answer::Nothing)
        setDelayedReply(true); // and never replies
    return static_cast<uint>(received.size());
}

} // namespace flowtally
