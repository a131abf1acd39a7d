#include "platform/widgets/BusyIndicator.h"
#include "platform/loop/MainLoop.h"
#include "tests/support/PaintCounter.h"

#include <QCoreApplication>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

namespace flowtally {

namespace {

// Work as quick as a tick's shows nothing and repaints nothing; longer work
// shows the moving bar until it ends.
TEST(BusyIndicator, ShowsOnlyForWorkThatLasts) {
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *indicator = new BusyIndicator;
    layout->addWidget(indicator);
    window.show();
    runMainLoopFor(0.05);
    PaintCounter counter;
    QCoreApplication::instance()->installEventFilter(&counter);

    for (int tick = 0; tick < 5; ++tick) {
        indicator->startAnimation();
        runMainLoopFor(0.02);
        indicator->stopAnimation();
        runMainLoopFor(0.02);
    }
    EXPECT_TRUE(indicator->isHidden());
    EXPECT_EQ(counter.paints, 0) << "quick work repainted the window";

    indicator->startAnimation();
    runMainLoopFor((BusyIndicator::kShowDelayMs + 300) / 1000.0);
    EXPECT_TRUE(indicator->isVisible());
    indicator->stopAnimation();
    EXPECT_TRUE(indicator->isHidden());
    QCoreApplication::instance()->removeEventFilter(&counter);
}

} // namespace

} // namespace flowtally
