#include "FormattedField.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// Brings a shown window to the front; answers whether it got there.
bool activate(QWidget &window) {
    window.show();
    window.activateWindow();
    QElapsedTimer waited;
    waited.start();
    while (QApplication::activeWindow() != &window && !waited.hasExpired(5000))
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    return QApplication::activeWindow() == &window;
}

// Shows whole numbers as "#n" and reads digits only.
class NumberFormatter : public Formatter {
  public:
    std::optional<QString> stringForObjectValue(const QVariant &value) const override {
        if (!value.isValid())
            return std::nullopt;
        return "#" + QString::number(value.toInt());
    }
    bool getObjectValue(QVariant *object, const QString &string, QString *) const override {
        bool ok = false;
        const int number = string.toInt(&ok);
        if (ok)
            *object = number;
        return ok;
    }
};

// A window with the field and a second control to move the focus to.
class FormattedFieldTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto *layout = new QVBoxLayout(&window_);
        field_ = new FormattedField;
        next_ = new QLineEdit;
        layout->addWidget(field_);
        layout->addWidget(next_);
        field_->setFormatter(std::make_unique<NumberFormatter>());
        field_->setObjectValue(7);
        QObject::connect(field_, &FormattedField::committed, [this] { ++commits_; });
        ASSERT_TRUE(activate(window_));
    }

    // The user selects the field's text and types over it.
    void type(const QString &text) {
        field_->setFocus(Qt::MouseFocusReason);
        field_->selectAll();
        field_->insert(text);
    }

    void pressReturn() {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(field_, &press);
    }

    QWidget window_;
    FormattedField *field_ = nullptr;
    QLineEdit *next_ = nullptr;
    int commits_ = 0;
};

} // namespace

TEST_F(FormattedFieldTest, ShowsItsValueThroughTheFormatter) {
    EXPECT_EQ(field_->text(), "#7");
    field_->setDoubleValue(12);
    EXPECT_EQ(field_->text(), "#12");
    EXPECT_EQ(field_->doubleValue(), 12.0);
    field_->setObjectValue({});
    EXPECT_EQ(field_->text(), "");
    EXPECT_EQ(commits_, 0);
}

TEST_F(FormattedFieldTest, ReturnCommitsAcceptedTextAndShowsItFormatted) {
    type("42");
    pressReturn();
    EXPECT_EQ(field_->objectValue(), QVariant(42));
    EXPECT_EQ(field_->text(), "#42");
    EXPECT_EQ(commits_, 1);
}

TEST_F(FormattedFieldTest, RefusedTextIsDroppedAndThePreviousValueShowsAgain) {
    type("not a number");
    pressReturn();
    EXPECT_EQ(field_->objectValue(), QVariant(7));
    EXPECT_EQ(field_->text(), "#7");
    EXPECT_EQ(commits_, 0);
}

TEST_F(FormattedFieldTest, LeavingTheFieldCommitsOnlyWhatTheUserChanged) {
    field_->setFocus(Qt::TabFocusReason);
    next_->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(commits_, 0);

    type("5");
    next_->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(field_->objectValue(), QVariant(5));
    EXPECT_EQ(commits_, 1);
}

TEST_F(FormattedFieldTest, IsBeingEditedWhileItHoldsTheFocusEvenWithItsWindowBehind) {
    next_->setFocus(Qt::TabFocusReason);
    EXPECT_FALSE(field_->isBeingEdited());
    type("9");
    EXPECT_TRUE(field_->isBeingEdited());

    QWidget other;
    ASSERT_TRUE(activate(other));
    // The unfinished edit neither ends nor commits while the window is behind.
    EXPECT_TRUE(field_->isBeingEdited());
    EXPECT_EQ(commits_, 0);
    EXPECT_EQ(field_->text(), "9");
}
