#include "IdleNotificationQueue.h"
#include "MainThread.h"
#include "NotificationCenter.h"
#include "WaitUntil.h"

#include <QObject>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

const QString infoText = QStringLiteral("InfoTextNotificationName");

// Records what the observers of the status notification receive.
struct Shown {
    explicit Shown(NotificationCenter &center) {
        center.addObserver(&receiver, infoText,
                           [this](const QVariant &object) { texts.push_back(object.toString()); });
    }
    QObject receiver;
    std::vector<QString> texts;
};

} // namespace

TEST(NotificationCenter, DeliversToObserversOfTheNameInOrderUntilTheyGo) {
    NotificationCenter center;
    std::vector<QString> calls;
    QObject first;
    auto second = std::make_unique<QObject>();
    QObject other;
    center.addObserver(&first, infoText,
                       [&](const QVariant &o) { calls.push_back("1 " + o.toString()); });
    center.addObserver(second.get(), infoText,
                       [&](const QVariant &o) { calls.push_back("2 " + o.toString()); });
    center.addObserver(&other, "OtherName", [&](const QVariant &) { calls.push_back("other"); });

    center.post(infoText, "a");
    EXPECT_EQ(calls, (std::vector<QString>{"1 a", "2 a"}));

    calls.clear();
    second.reset();
    center.post(infoText, "b");
    center.removeObserver(&first, "OtherName");
    center.post(infoText, "c");
    center.removeObserver(&first);
    center.post(infoText, "d");
    EXPECT_EQ(calls, (std::vector<QString>{"1 b", "1 c"}));
}

TEST(NotificationCenter, ObserverRemovedDuringDeliveryGetsNothing) {
    NotificationCenter center;
    QObject remover;
    auto removed = std::make_unique<QObject>();
    bool reached = false;
    center.addObserver(&remover, infoText, [&](const QVariant &) { removed.reset(); });
    center.addObserver(removed.get(), infoText, [&](const QVariant &) { reached = true; });
    center.post(infoText);
    EXPECT_FALSE(reached);
}

TEST(IdleNotificationQueue, PostsWhenIdleAfterEventsAlreadyQueuedAndCoalescesEqualTexts) {
    NotificationCenter center;
    IdleNotificationQueue queue(center);
    Shown shown(center);
    std::vector<QString> order;
    center.addObserver(&shown.receiver, infoText,
                       [&](const QVariant &o) { order.push_back(o.toString()); });

    performOnMainThread([&] { order.push_back("queued before"); }, false);
    queue.enqueue(infoText, "No Error");
    queue.enqueue(infoText, "Timeout");
    queue.enqueue(infoText, "No Error");
    performOnMainThread([&] { order.push_back("queued after"); }, false);
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(queue.count(), 2);

    ASSERT_TRUE(waitUntil([&] { return shown.texts.size() == 2; }));
    runMainLoopFor(0.05);
    // The latest of equal texts is the one kept, so it shows last.
    EXPECT_EQ(shown.texts, (std::vector<QString>{"Timeout", "No Error"}));
    EXPECT_EQ(order,
              (std::vector<QString>{"queued before", "queued after", "Timeout", "No Error"}));
}

TEST(IdleNotificationQueue, DifferentTextsAllShowAndTextsQueuedWhilePostingWait) {
    NotificationCenter center;
    IdleNotificationQueue queue(center);
    Shown shown(center);
    QObject requeuer;
    center.addObserver(&requeuer, infoText, [&](const QVariant &o) {
        if (o.toString() == "first")
            queue.enqueue(infoText, "from an observer");
    });
    queue.enqueue(infoText, "first");
    queue.enqueue(infoText, "second");
    queue.enqueue("OtherName", "second");
    ASSERT_TRUE(waitUntil([&] { return shown.texts.size() == 3; }));
    EXPECT_EQ(shown.texts, (std::vector<QString>{"first", "second", "from an observer"}));
    EXPECT_EQ(queue.count(), 0);
}

TEST(IdleNotificationQueue, DefaultQueuePostsToTheDefaultCenter) {
    Shown shown(NotificationCenter::defaultCenter());
    IdleNotificationQueue::defaultQueue().enqueue(infoText, "Netstat Error: see Console Log.");
    EXPECT_TRUE(shown.texts.empty());
    ASSERT_TRUE(waitUntil([&] { return !shown.texts.empty(); }));
    EXPECT_EQ(shown.texts, std::vector<QString>{"Netstat Error: see Console Log."});
}
