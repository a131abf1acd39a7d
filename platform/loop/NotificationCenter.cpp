#include "platform/loop/NotificationCenter.h"

#include "platform/loop/Threads.h"

#include <QCoreApplication>
#include <QPointer>

#include <algorithm>

namespace flowtally {

struct NotificationCenter::Entry {
    QPointer<QObject> receiver;
    QString name;
    Observer callback;
    bool removed = false;
};

NotificationCenter::NotificationCenter(QObject *parent) : QObject(parent) {}

NotificationCenter::~NotificationCenter() = default;

NotificationCenter &NotificationCenter::defaultCenter() {
    static QPointer<NotificationCenter> center;
    if (!center)
        center = new NotificationCenter(QCoreApplication::instance());
    return *center;
}

void NotificationCenter::addObserver(QObject *receiver, const QString &name, Observer callback) {
    Q_ASSERT(isMainThread());
    const bool watched =
        std::any_of(entries_.begin(), entries_.end(),
                    [receiver](const auto &entry) { return entry->receiver == receiver; });
    entries_.push_back(std::make_shared<Entry>(Entry{receiver, name, std::move(callback)}));
    // By the time a receiver says it is destroyed, its entries hold null.
    if (!watched)
        connect(receiver, &QObject::destroyed, this, [this] { removeObserver(nullptr); });
}

void NotificationCenter::removeObserver(QObject *receiver) {
    std::erase_if(entries_, [receiver](const std::shared_ptr<Entry> &entry) {
        if (entry->receiver != receiver && !entry->receiver.isNull())
            return false;
        entry->removed = true;
        return true;
    });
}

void NotificationCenter::post(const QString &name, const QVariant &object) {
    Q_ASSERT(isMainThread());
    // Observers may come and go while the notification is being delivered:
    // those added now wait for the next one, those removed now get nothing.
    const std::vector<std::shared_ptr<Entry>> observers = entries_;
    for (const std::shared_ptr<Entry> &entry : observers) {
        if (entry->name == name && !entry->removed && entry->receiver)
            entry->callback(object);
    }
}

} // namespace flowtally
