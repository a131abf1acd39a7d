#include "BusyIndicator.h"
#include "PaintCounter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

namespace flowtally {

namespace {

// Runs the event loop for about `ms` milliseconds.
void runEventsFor(int ms) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Work as quick as a tick's shows nothing and repaints nothing; longer work
// shows the moving bar until it ends.
TEST(BusyIndicator, ShowsOnlyForWorkThatLasts) {
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *indicator = new BusyIndicator;
    layout->addWidget(indicator);
    window.show();
    runEventsFor(50);
    PaintCounter counter;
    QCoreApplication::instance()->installEventFilter(&counter);

    for (int tick = 0; tick < 5; ++tick) {
        indicator->startAnimation();
        runEventsFor(20);
        indicator->stopAnimation();
        runEventsFor(20);
    }
    EXPECT_TRUE(indicator->isHidden());
    EXPECT_EQ(counter.paints, 0) << "quick work repainted the window";

    indicator->startAnimation();
    runEventsFor(BusyIndicator::kShowDelayMs + 300);
    EXPECT_TRUE(indicator->isVisible());
    indicator->stopAnimation();
    EXPECT_TRUE(indicator->isHidden());
    QCoreApplication::instance()->removeEventFilter(&counter);
}

} // namespace

} // namespace flowtally
