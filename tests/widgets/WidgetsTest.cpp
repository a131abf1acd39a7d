#include "FormattedField.h"
#include "LevelIndicator.h"
#include "MainLoop.h"
#include "NumberFormatter.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <limits>

namespace flowtally {

namespace {

// Brings a shown window to the front; answers whether it got there.
bool activate(QWidget &window) {
    window.show();
    window.activateWindow();
    for (int slice = 0; slice < 500 && QApplication::activeWindow() != &window; ++slice)
        runMainLoopFor(0.01);
    return QApplication::activeWindow() == &window;
}

TEST(FormattedField, CommitsAcceptedTextAndStaysBeingEditedWithItsWindowBehind) {
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *field = new FormattedField;
    auto *next = new QLineEdit;
    layout->addWidget(field);
    layout->addWidget(next);
    field->setFormatter(std::make_unique<NumberFormatter>()); // no fraction digits shown
    field->setObjectValue(7);
    int commits = 0;
    QObject::connect(field, &FormattedField::committed, [&] { ++commits; });
    ASSERT_TRUE(activate(window));
    // The user selects the field's text and types over it, maybe pressing Return.
    const auto type = [&](const QString &text, bool pressReturn) {
        field->setFocus(Qt::MouseFocusReason);
        field->selectAll();
        field->insert(text);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        if (pressReturn)
            QApplication::sendEvent(field, &press);
    };
    type("2 4", true); // refused: the previous value shows again
    EXPECT_EQ(field->text(), "7");
    type(" 42.4 ", true);
    EXPECT_EQ(field->objectValue(), QVariant(42.4));
    EXPECT_EQ(field->text(), "42");
    EXPECT_EQ(commits, 1);
    next->setFocus(Qt::TabFocusReason); // leaving commits nothing unchanged
    EXPECT_FALSE(field->isBeingEdited());
    type("5", false);
    QWidget other;
    ASSERT_TRUE(activate(other));
    // The unfinished edit neither ends nor commits while the window is behind.
    EXPECT_TRUE(field->isBeingEdited());
    EXPECT_EQ(field->text(), "5");
    EXPECT_EQ(commits, 1);
}

// A value or range that is not finite shows as a full bar (+inf) or an empty
// one, never as a fill in its zone's colour.
TEST(LevelIndicator, ValuesAndRangesThatAreNotFiniteShowAsAnEndOfTheBar) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    LevelIndicator indicator;
    indicator.setWarningValue(50);
    indicator.setCriticalValue(90);
    indicator.resize(100, 16);
    const std::pair<double, double> cases[] = {
        {inf, 100}, {nan, 100}, {-inf, 100}, {10, inf}, {10, nan}};
    for (const auto &[value, max] : cases) {
        indicator.setDoubleValue(value);
        indicator.setMaxValue(max);
        const QImage image = indicator.grab().toImage();
        const QColor left = image.pixelColor(4, 8), right = image.pixelColor(95, 8);
        EXPECT_EQ(left, right) << value << " of " << max;
        if (value == inf)
            EXPECT_EQ(left, LevelIndicator::colour(LevelIndicator::Zone::Critical));
        else
            EXPECT_NE(left, LevelIndicator::colour(indicator.zone())) << value << " of " << max;
    }
}

} // namespace

} // namespace flowtally
