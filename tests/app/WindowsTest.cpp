// The windows as a person uses them: the router address field, the limit
// and its unit, the community field, the help window, the preferences window
// that pauses metering, closing the main window, the menus and the status
// line.
#include "WindowsFixture.h"

#include "MainLoop.h"
#include "UserDefaults.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QUndoStack>

namespace {

constexpr quint64 kGiB = quint64(1) << 30;
constexpr quint64 kTiB = quint64(1) << 40;

const QString kAirportIP = QStringLiteral("AirportIP");

UserDefaults &defaults() {
    return UserDefaults::standardUserDefaults();
}

class AddressField : public WindowsFixture {
  protected:
    void SetUp() override {
        WindowsFixture::SetUp();
        field = outlet<FormattedField>("airportIP");
        ASSERT_TRUE(activate(controller->mainWindowWidget()));
    }

    // Types the text into the field and presses Return.
    void enter(const QString &text) {
        type(field, text);
        pressKey(field, Qt::Key_Return);
    }

    FormattedField *field = nullptr;
};

TEST_F(AddressField, ShowsWhatTheWorkCycleFeedsIt) {
    controller->setIPField(0u);
    EXPECT_EQ(field->text(), QStringLiteral("(NONE)"));
    controller->setIPField(QStringLiteral("192.168.1.1"));
    EXPECT_EQ(field->text(), QStringLiteral("192.168.1.1"));
    EXPECT_EQ(field->objectValue().toUInt(), 0xC0A80101u) << "held as an address number";
    controller->setIPField(QStringLiteral("not an address"));
    EXPECT_EQ(field->text(), QStringLiteral("255.255.255.255"));
}

TEST_F(AddressField, TypingIsNeverOverwrittenAndTheNextTickShowsTheAddressAfterTheCommit) {
    controller->setIPField(QStringLiteral("10.0.0.1"));
    type(field, QStringLiteral("192.168."));
    controller->setIPField(QStringLiteral("10.0.0.1"));
    EXPECT_EQ(field->text(), QStringLiteral("192.168."));

    // The window going behind does not end the edit either.
    ASSERT_TRUE(activate(controller->prefsWindowWidget()));
    controller->setIPField(QStringLiteral("10.0.0.1"));
    EXPECT_EQ(field->text(), QStringLiteral("192.168."));

    ASSERT_TRUE(activate(controller->mainWindowWidget()));
    type(field, QStringLiteral("192.168.1.1"));
    pressKey(field, Qt::Key_Return);
    EXPECT_FALSE(field->isBeingEdited());
    controller->setIPField(QStringLiteral("10.0.0.2"));
    EXPECT_EQ(field->text(), QStringLiteral("10.0.0.2"));
}

TEST_F(AddressField, CommittedAddressIsStoredWrittenOutAndTheFocusMovesOn) {
    enter(QStringLiteral("192.168.1.1"));
    EXPECT_EQ(defaults().stringForKey(kAirportIP), QStringLiteral("192.168.1.1"));
    EXPECT_EQ(settingsFile().value(kAirportIP), QStringLiteral("192.168.1.1"));
    EXPECT_EQ(controller->mainWindowWidget()->focusWidget(), outlet<QPushButton>("consoleLogPB"))
        << "the next control in the window's tab order";

    // A public address is stored too.
    enter(QStringLiteral("8.8.8.8"));
    EXPECT_EQ(settingsFile().value(kAirportIP), QStringLiteral("8.8.8.8"));
}

TEST_F(AddressField, NoAddressRemovesTheSetting) {
    for (const QString &text : {QString(), QStringLiteral("(NONE)"), QStringLiteral("0.0.0.0")}) {
        enter(QStringLiteral("192.168.1.1"));
        ASSERT_TRUE(settingsFile().contains(kAirportIP));
        enter(text);
        EXPECT_FALSE(defaults().objectForKey(kAirportIP).isValid()) << text.toStdString();
        EXPECT_FALSE(settingsFile().contains(kAirportIP)) << text.toStdString();
        EXPECT_EQ(field->text(), QStringLiteral("(NONE)"));
    }
}

TEST_F(AddressField, RefusedTextLeavesTheSettingAsItWas) {
    enter(QStringLiteral("10.1.2.3"));
    for (const QString &text : {QStringLiteral("1.2.3.4.5"), QStringLiteral("router"),
                                QStringLiteral("255.255.255.255")}) {
        enter(text);
        EXPECT_EQ(settingsFile().value(kAirportIP), QStringLiteral("10.1.2.3"))
            << text.toStdString();
        EXPECT_EQ(field->text(), QStringLiteral("10.1.2.3")) << "the field shows its value again";
    }
}

class LimitControls : public WindowsFixture {
  protected:
    // Picks the unit from the pop-up with the keyboard, as a person would.
    void pick(const QString &unit) {
        auto *popUp = outlet<QComboBox>("limitUnitsPopUp");
        const int item = popUp->findText(unit);
        ASSERT_GT(item, 0);
        popUp->setCurrentIndex(item - 1);
        pressKey(popUp, Qt::Key_Down);
        ASSERT_EQ(popUp->currentText(), unit);
    }
    QString shownUnit() { return outlet<QComboBox>("limitUnitsPopUp")->currentText(); }
};

TEST_F(LimitControls, UnitsOfThePopUpSetTheScale) {
    const QList<QPair<QString, quint64>> units{
        {QStringLiteral("K"), 1024}, {QStringLiteral("G"), kGiB}, {QStringLiteral("T"), kTiB}};
    for (const auto &[unit, scale] : units) {
        pick(unit);
        EXPECT_EQ(controller->limitUnitsScale(), scale) << unit.toStdString();
    }
}

TEST_F(LimitControls, PopUpShowsTheUnitOfEveryLoadedRecord) {
    defaults().setObject(kService, QVariantMap{{QStringLiteral("limitUnitsScale"), kTiB}});
    controller->startLogging();
    EXPECT_EQ(shownUnit(), QStringLiteral("T")) << "the record loaded at start";
    controller->stopLogging();

    // A reset loads the registration defaults' unit; its undo the one before.
    controller->doResetTotalsNow();
    EXPECT_EQ(controller->limitUnitsScale(), kGiB);
    EXPECT_EQ(shownUnit(), QStringLiteral("G"));
    controller->undoStack()->undo();
    EXPECT_EQ(controller->limitUnitsScale(), kTiB);
    EXPECT_EQ(shownUnit(), QStringLiteral("T"));
}

TEST_F(LimitControls, LimitFieldHoldsItsSettingAndWritesItOutAtOnce) {
    auto *limit = outlet<FormattedField>("displayLimitGB");
    EXPECT_EQ(limit->text(), QStringLiteral("250")) << "the registered default";
    type(limit, QStringLiteral("37.5"));
    pressKey(limit, Qt::Key_Return);
    EXPECT_EQ(settingsFile().value(QStringLiteral("DisplayLimitGB")).toDouble(), 37.5);

    type(limit, QStringLiteral("lots"));
    pressKey(limit, Qt::Key_Return);
    EXPECT_EQ(limit->text(), QStringLiteral("37.5"));
    EXPECT_EQ(defaults().objectForKey(QStringLiteral("DisplayLimitGB")).toDouble(), 37.5);

    // The next start shows the setting; the limit in use follows it.
    controller = std::make_unique<AppDelegate>();
    EXPECT_EQ(outlet<FormattedField>("displayLimitGB")->doubleValue(), 37.5);
}

TEST_F(LimitControls, CommunityFieldIsMaskedAndHoldsItsSetting) {
    auto *community = outlet<QLineEdit>("communityPassword");
    EXPECT_EQ(community->echoMode(), QLineEdit::Password);
    EXPECT_EQ(community->text(), QStringLiteral("public")) << "the registered default";
    type(community, QStringLiteral("s3cret"));
    EXPECT_EQ(settingsFile().value(QStringLiteral("communityPassword")), QStringLiteral("s3cret"))
        << "each change is written out at once";
    EXPECT_EQ(AppDelegate::communityPassword(), QStringLiteral("s3cret"));

    controller = std::make_unique<AppDelegate>();
    EXPECT_EQ(outlet<QLineEdit>("communityPassword")->text(), QStringLiteral("s3cret"));
}

TEST_F(WindowsFixture, HelpShowsAtStartUntilItHasBeenClosedOnce) {
    QWidget *help = controller->helpWindowWidget();
    EXPECT_FALSE(help->isVisible()) << "not before the first pass of the event loop";
    runMainLoopFor(0.05);
    EXPECT_TRUE(help->isVisible());

    help->close();
    EXPECT_TRUE(settingsFile().value(QStringLiteral("HideHelp")).toBool());

    controller = std::make_unique<AppDelegate>();
    runMainLoopFor(0.05);
    EXPECT_FALSE(controller->helpWindowWidget()->isVisible());
}

class KeyAndClosingWindows : public WindowsFixture {
  protected:
    void SetUp() override {
        WindowsFixture::SetUp();
        restart = outlet<QPushButton>("restartPB");
    }

    QPushButton *restart = nullptr;
};

TEST_F(KeyAndClosingWindows, PreferencesInFrontPauseMeteringUntilTheyCloseOrResume) {
    controller->startLogging();
    ASSERT_TRUE(controller->isLogging());
    EXPECT_FALSE(restart->isEnabled());

    ASSERT_TRUE(activate(controller->prefsWindowWidget()));
    EXPECT_FALSE(controller->isLogging());
    EXPECT_FALSE(controller->isWorking()) << "a running worker was waited for";
    EXPECT_TRUE(restart->isEnabled());

    ASSERT_TRUE(activate(controller->mainWindowWidget()));
    EXPECT_FALSE(controller->isLogging()) << "turning back to the main window changes nothing";

    restart->click();
    EXPECT_TRUE(controller->isLogging());
    EXPECT_FALSE(restart->isEnabled());

    ASSERT_TRUE(activate(controller->prefsWindowWidget()));
    EXPECT_FALSE(controller->isLogging());
    controller->prefsWindowWidget()->close();
    EXPECT_TRUE(controller->isLogging());
    EXPECT_FALSE(controller->isTerminating());
}

TEST_F(KeyAndClosingWindows, ClosingTheMainWindowEndsEverythingWithoutRestarting) {
    controller->startLogging();
    runMainLoopFor(0.05);
    ASSERT_TRUE(controller->helpWindowWidget()->isVisible());
    ASSERT_TRUE(activate(controller->prefsWindowWidget()));
    ASSERT_FALSE(controller->isLogging());

    controller->mainWindowWidget()->close();
    EXPECT_TRUE(controller->isTerminating());
    EXPECT_FALSE(controller->prefsWindowWidget()->isVisible());
    EXPECT_FALSE(controller->helpWindowWidget()->isVisible());
    EXPECT_FALSE(controller->isLogging()) << "the preferences closing started nothing";
    EXPECT_TRUE(settingsFile().value(QStringLiteral("HideHelp")).toBool());
}

// The menu bar's action whose text is the given one, menu markers aside.
QAction *menuAction(QWidget *mainWindow, const QString &text) {
    auto *bar = static_cast<QMainWindow *>(mainWindow)->menuBar();
    for (QAction *menu : bar->actions()) {
        for (QAction *action : menu->menu()->actions()) {
            if (action->text().remove(QLatin1Char('&')) == text)
                return action;
        }
    }
    return nullptr;
}

TEST_F(WindowsFixture, MenusReachTheWindowsUndoTheResetAndQuit) {
    QWidget *main = controller->mainWindowWidget();
    ASSERT_TRUE(menuAction(main, QStringLiteral("Preferences…")));
    menuAction(main, QStringLiteral("Preferences…"))->trigger();
    EXPECT_TRUE(controller->prefsWindowWidget()->isVisible());
    ASSERT_TRUE(menuAction(main, QStringLiteral("Help")));
    EXPECT_EQ(menuAction(main, QStringLiteral("Help"))->shortcut(), QKeySequence(Qt::Key_F1));

    controller->loadPersistentValuesFromDict({{QStringLiteral("totalInBytes"), quint64(5000)}});
    controller->doResetTotalsNow();
    QAction *undo = menuAction(main, QStringLiteral("Undo \"Reset Totals\""));
    ASSERT_TRUE(undo);
    EXPECT_EQ(undo->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
    undo->trigger();
    EXPECT_EQ(controller->totalInBytes(), 5000u);
    EXPECT_FALSE(undo->isEnabled()) << "nothing more to undo";

    QAction *quit = menuAction(main, QStringLiteral("Quit"));
    ASSERT_TRUE(quit);
    EXPECT_EQ(quit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->trigger();
    EXPECT_TRUE(controller->isTerminating());
    EXPECT_FALSE(main->isVisible());
    EXPECT_FALSE(controller->prefsWindowWidget()->isVisible());
}

TEST_F(WindowsFixture, StatusLineShowsTheTimeOverTheTextAndRefreshesTheTooltips) {
    controller->setIPField(0u);
    controller->handleSetInfoText(QStringLiteral("No Error"));
    auto *status = outlet<QLabel>("infoText");
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d\\nNo Error$"))
                    .match(status->text())
                    .hasMatch())
        << status->text().toStdString();
    EXPECT_EQ(status->toolTip(), status->text());
    EXPECT_TRUE(
        outlet<QLineEdit>("airportIP")->toolTip().startsWith(QStringLiteral("\"(NONE)\"\n")));
    EXPECT_TRUE(outlet<QLineEdit>("airportName")->toolTip().startsWith(QStringLiteral("\"\"\n")));
}

} // namespace
