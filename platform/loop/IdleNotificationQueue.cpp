#include "platform/loop/IdleNotificationQueue.h"

#include "platform/loop/NotificationCenter.h"
#include "platform/loop/Threads.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

namespace flowtally {

IdleNotificationQueue::IdleNotificationQueue(NotificationCenter &center, QObject *parent)
    : QObject(parent), center_(center), idle_(new QTimer(this)) {
    // A zero-interval timer fires only once every event already queued, and
    // every one queued meanwhile, has been handled: when the loop is idle.
    idle_->setSingleShot(true);
    idle_->setInterval(0);
    connect(idle_, &QTimer::timeout, this, [this] { postWaiting(); });
}

IdleNotificationQueue::~IdleNotificationQueue() = default;

IdleNotificationQueue &IdleNotificationQueue::defaultQueue() {
    static QPointer<IdleNotificationQueue> queue;
    if (!queue)
        queue = new IdleNotificationQueue(NotificationCenter::defaultCenter(),
                                          QCoreApplication::instance());
    return *queue;
}

void IdleNotificationQueue::enqueue(const QString &name, const QVariant &object) {
    Q_ASSERT(isMainThread());
    std::erase_if(waiting_, [&](const Waiting &waiting) {
        return waiting.name == name && waiting.object == object;
    });
    waiting_.push_back({name, object});
    if (!idle_->isActive())
        idle_->start();
}

void IdleNotificationQueue::postWaiting() {
    // Those queued by an observer now wait for the next idle moment.
    const std::vector<Waiting> posting = std::exchange(waiting_, {});
    for (const Waiting &waiting : posting)
        center_.post(waiting.name, waiting.object);
}

} // namespace flowtally
