// Windows come back where they were left, and the keyboard focus moves on
// from a field along the window's tab order.
#include "WindowsFixture.h"

#include "KeyViewOrder.h"
#include "MainLoop.h"
#include "UserDefaults.h"
#include "WindowPlacement.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

TEST_F(WindowsFixture, WindowsComeBackWhereTheyWereLeft) {
    QWidget *main = controller->mainWindowWidget();
    QWidget *help = controller->helpWindowWidget();
    main->show();
    main->setGeometry(QRect(QPoint(60, 40), main->minimumSizeHint() + QSize(30, 20)));
    help->show();
    help->setGeometry(QRect(QPoint(300, 120), QSize(420, 380)));
    runMainLoopFor(0.05);
    const QRect mainPlace = main->geometry();
    const QRect helpPlace = help->geometry();
    // The preferences were never shown: nothing is stored for them.
    main->close();
    EXPECT_TRUE(settingsFile().contains(QStringLiteral("MainWindowGeometry")));
    EXPECT_TRUE(settingsFile().contains(QStringLiteral("HelpWindowGeometry")));
    EXPECT_FALSE(settingsFile().contains(QStringLiteral("PreferencesWindowGeometry")));

    controller = std::make_unique<AppDelegate>();
    EXPECT_EQ(controller->mainWindowWidget()->geometry(), mainPlace);
    EXPECT_EQ(controller->helpWindowWidget()->geometry(), helpPlace);
}

// A fixture test: the settings live in a temporary folder.
TEST_F(WindowsFixture, UnreadableGeometryAndHiddenOrUnknownWindowsChangeNothing) {
    const QString key = QStringLiteral("TestWindowGeometry");
    UserDefaults::standardUserDefaults().setObject(key, QByteArray("not a geometry"));
    QWidget window;
    window.setGeometry(10, 20, 300, 200);
    WindowPlacement placement;
    placement.add(&window, key);
    EXPECT_EQ(window.geometry(), QRect(10, 20, 300, 200));

    QWidget unknown;
    unknown.show();
    placement.remember(&unknown);
    placement.remember(&window); // hidden
    EXPECT_EQ(UserDefaults::standardUserDefaults().objectForKey(key),
              QVariant(QByteArray("not a geometry")));
    UserDefaults::standardUserDefaults().removeObject(key);
}

// A window with a field, then a label, a disabled button, a hidden field
// and a button: only the last one takes the focus from the keyboard.
class KeyViewOrder : public ::testing::Test {
  protected:
    void SetUp() override {
        auto *layout = new QHBoxLayout(&window);
        for (QWidget *widget : {static_cast<QWidget *>(field), static_cast<QWidget *>(label),
                                static_cast<QWidget *>(disabled), static_cast<QWidget *>(hidden),
                                static_cast<QWidget *>(next)})
            layout->addWidget(widget);
        disabled->setEnabled(false);
        hidden->hide();
        field->setFocus();
    }

    QWidget window;
    QLineEdit *field = new QLineEdit;
    QLabel *label = new QLabel(QStringLiteral("label"));
    QPushButton *disabled = new QPushButton(QStringLiteral("disabled"));
    QLineEdit *hidden = new QLineEdit;
    QPushButton *next = new QPushButton(QStringLiteral("next"));
};

TEST_F(KeyViewOrder, FocusMovesToTheNextViewThatTakesIt) {
    ASSERT_EQ(window.focusWidget(), field);
    selectKeyViewFollowingView(field);
    EXPECT_EQ(window.focusWidget(), next);
}

TEST_F(KeyViewOrder, WithNoOtherViewTheFieldGivesUpTheFocus) {
    next->setFocusPolicy(Qt::NoFocus);
    selectKeyViewFollowingView(field);
    EXPECT_EQ(window.focusWidget(), nullptr);
}

} // namespace
