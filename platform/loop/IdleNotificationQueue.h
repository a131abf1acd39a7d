#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <vector>

class QTimer;

namespace flowtally {

class NotificationCenter;
// Holds notifications until the main event loop is idle (every event already
// queued, later ones included, has been handled), then posts them to its
// centre in the order in which they were queued. Coalesces by name and equal
// object: a notification that equals one still waiting replaces it, taking its
// place at the end. Main thread only.
class IdleNotificationQueue : public QObject {
  public:
    explicit IdleNotificationQueue(NotificationCenter &center, QObject *parent = nullptr);
    ~IdleNotificationQueue() override;

    // The queue of the main thread, posting to the default centre.
    static IdleNotificationQueue &defaultQueue();

    void enqueue(const QString &name, const QVariant &object = {});

  private:
    void postWaiting();

    struct Waiting {
        QString name;
        QVariant object;
    };
    NotificationCenter &center_;
    QTimer *idle_;
    std::vector<Waiting> waiting_;
};

} // namespace flowtally
