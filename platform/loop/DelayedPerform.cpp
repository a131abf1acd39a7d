#include "platform/loop/DelayedPerform.h"

#include "platform/loop/Timer.h"

#include <QObject>
#include <QTimer>

namespace flowtally {

namespace {

// Delayed actions are single-shot timers owned by their target, so that the
// target's destruction drops them too; this name tells them from the target's
// other children.
const QString pendingPerformName = QStringLiteral("flowtally-delayed-perform");

} // namespace

void performAfterDelay(QObject *target, double seconds, std::function<void()> action) {
    auto *timer = new QTimer(target);
    timer->setObjectName(pendingPerformName);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action = std::move(action)] {
        timer->setObjectName(QString());
        timer->deleteLater();
        // The action may destroy the target, and this timer with it.
        const std::function<void()> run = action;
        run();
    });
    timer->start(timerMilliseconds(seconds));
}

void cancelPerforms(QObject *target) {
    const auto pending =
        target->findChildren<QTimer *>(pendingPerformName, Qt::FindDirectChildrenOnly);
    // None of them is running now: the one that is has lost its name.
    qDeleteAll(pending);
}

} // namespace flowtally
