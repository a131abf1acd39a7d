#include "BusyIndicator.h"

#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

TEST(BusyIndicator, ShowsOnlyWhileAnimatingAndKeepsItsPlace) {
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *indicator = new BusyIndicator;
    layout->addWidget(indicator);
    window.show();
    EXPECT_FALSE(indicator->isVisible());

    indicator->startAnimation();
    EXPECT_TRUE(indicator->isVisible());
    EXPECT_TRUE(indicator->isAnimating());
    const QRect place = indicator->geometry();

    indicator->stopAnimation();
    indicator->stopAnimation();
    EXPECT_FALSE(indicator->isVisible());
    EXPECT_FALSE(indicator->isAnimating());
    layout->activate();
    EXPECT_EQ(indicator->geometry(), place);
}
