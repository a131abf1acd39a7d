#include "platform/widgets/FormattedField.h"

#include "platform/loop/MainLoop.h"
#include "platform/text/NumberFormatter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QVBoxLayout>

#include <gtest/gtest.h>

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
    // A value shown again leaves the field as the person left it (a selection
    // to copy the router's address from survives the ticks); another value,
    // or the same one after an edit that was not committed, shows anew.
    field->setObjectValue(1234);
    field->selectAll();
    field->setObjectValue(1234.2); // shows as "1234" again
    EXPECT_EQ(field->selectedText(), "1234");
    field->setObjectValue(1235);
    EXPECT_EQ(field->text(), "1235");
    EXPECT_FALSE(field->hasSelectedText());
    field->selectAll();
    field->insert("1235"); // typed over, the same text, not committed
    EXPECT_TRUE(field->isModified());
    field->setObjectValue(1235);
    EXPECT_FALSE(field->isModified());

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

} // namespace

} // namespace flowtally
