#include "IdleNotificationQueue.h"

#include "LoopWaits.h"
#include "MainLoop.h"
#include "NotificationCenter.h"
#include "Threads.h"

#include <gtest/gtest.h>

#include <vector>

namespace flowtally {

namespace {

// Posts after the events already queued; of equal texts the latest is the
// one kept, so it shows last.
TEST(IdleNotificationQueue, PostsAfterQueuedEventsAndCoalescesEqualTexts) {
    NotificationCenter center;
    IdleNotificationQueue queue(center);
    QObject observer;
    std::vector<QString> order;
    center.addObserver(&observer, "InfoText",
                       [&](const QVariant &o) { order.push_back(o.toString()); });
    performOnMainThread([&] { order.push_back("queued before"); }, false);
    for (const char *text : {"No Error", "Timeout", "No Error"})
        queue.enqueue("InfoText", text);
    performOnMainThread([&] { order.push_back("queued after"); }, false);
    EXPECT_TRUE(order.empty());
    ASSERT_TRUE(runLoopUntil([&] { return order.size() == 4; }));
    runMainLoopFor(0.05);
    EXPECT_EQ(order,
              (std::vector<QString>{"queued before", "queued after", "Timeout", "No Error"}));
}

} // namespace

} // namespace flowtally
