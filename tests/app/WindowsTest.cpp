// The windows as a person uses them: the router address field, the limit
// unit, the help window, the preferences window that pauses metering,
// closing the main window, the figures and the places of the windows.
#include "tests/support/controller/ControllerFixture.h"

#include "app/LogWindow.h"
#include "app/WindowPlacement.h"
#include "charts/ApplicationsWindow.h"
#include "charts/CycleChart.h"
#include "charts/HistoryWindow.h"
#include "net/AccountdService.h"
#include "platform/loop/MainLoop.h"
#include "platform/system/PropertyList.h"
#include "platform/system/UserDefaults.h"
#include "platform/widgets/LevelIndicator.h"
#include "tests/support/LoopWaits.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <cmath>

namespace flowtally {

namespace {

void pressKey(QWidget *widget, int key, const QString &text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &press);
}

// Shows the window and makes it the active one. Asked again while waiting:
// a window that shows meanwhile (the help window at start) takes the front.
bool activate(QWidget *window) {
    for (int slice = 0; slice < 500 && QApplication::activeWindow() != window; ++slice) {
        window->show();
        window->activateWindow();
        runMainLoopFor(0.01);
    }
    return QApplication::activeWindow() == window;
}

// Runs the application's own loop with the action as its first step, as
// Flowtally runs it (no quit of Qt's own when the last window closes),
// until the application quits (10 s at most); whether it did.
bool quitsTheApplication(const std::function<void()> &action) {
    const bool quitsByItself = QApplication::quitOnLastWindowClosed();
    QApplication::setQuitOnLastWindowClosed(false);
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, [] { QApplication::exit(1); });
    bound.start(10000);
    QTimer::singleShot(0, action);
    const bool quit = QApplication::exec() == 0;
    QApplication::setQuitOnLastWindowClosed(quitsByItself);
    return quit;
}

// The settings file once the store has written what changed. A change made
// in a window is written at once: 3 s is far less than the store's write
// interval, which would hold other changes back.
QVariantMap settingsFile() {
    const UserDefaults &store = UserDefaults::standardUserDefaults();
    for (int slice = 0; slice < 300 && !store.isWritten(); ++slice)
        QThread::msleep(10);
    return dictionaryWithContentsOfFile(store.path()).value_or(QVariantMap());
}

// Counts the requests to lay a widget out anew.
struct LayoutRequests : QObject {
    bool eventFilter(QObject *, QEvent *event) override {
        count += event->type() == QEvent::LayoutRequest;
        return false;
    }
    int count = 0;
};

class Windows : public ControllerFixture {
  protected:
    // Types over the address field's text, key by key, and maybe presses Return.
    void type(const QString &text, bool commit = true) {
        field()->setFocus(Qt::MouseFocusReason);
        field()->selectAll();
        pressKey(field(), Qt::Key_Backspace);
        for (const QChar character : text)
            pressKey(field(), 0, character);
        if (commit)
            pressKey(field(), Qt::Key_Return);
    }
    FormattedField *field() const { return outlet("airportIP"); }
    // A window but the main one by its name, opened as a person opens it
    // (Applications from the main window's menu); Help and Preferences are
    // only looked up (help shows at the first start).
    QWidget *open(const std::string &name) {
        QWidget *main = windows().mainWindowWidget();
        if (name == "History")
            windows().showHistoryWindow();
        if (name == "Log")
            return LogWindow::showWindow();
        if (name == "Applications") {
            for (QAction *action : main->findChildren<QAction *>()) {
                if (action->text() == "&Applications…")
                    action->trigger();
            }
            return main->findChild<ApplicationsWindow *>();
        }
        return name == "Help"      ? windows().helpWindowWidget()
               : name == "History" ? windows().historyWindowWidget()
                                   : windows().prefsWindowWidget();
    }
};

// The router address field: what is typed is never overwritten while it is
// typed, zero shows as none; a committed address is stored and written out,
// or removed, and the focus moves on (ticks fill the field again). The
// limit's unit pop-up beside it.
TEST_F(Windows, AddressFieldKeepsTypingAndStoresWhatIsCommittedAndTheUnitSetsTheScale) {
    ASSERT_TRUE(activate(windows().mainWindowWidget()));
    controller->setIPField(0u);
    EXPECT_EQ(field()->text(), "(NONE)");
    type("192.168.", false);
    controller->setIPField("10.0.0.1");
    EXPECT_EQ(field()->text(), "192.168.");
    // (Nor does its window going behind end the edit: FormattedFieldTest.)
    // Each text for none follows an address stored, and removes it.
    for (const QString text : {"8.8.8.8", "", "192.168.1.1", "(NONE)", "192.168.1.1", "0.0.0.0"}) {
        SCOPED_TRACE(text.toStdString());
        type(text);
        const bool none = !text.contains('.') || text == "0.0.0.0";
        const QVariant kept = none ? QVariant() : QVariant(text);
        EXPECT_EQ(UserDefaults::standardUserDefaults().objectForKey("AirportIP"), kept);
        EXPECT_EQ(settingsFile().value("AirportIP"), kept);
        if (none)
            EXPECT_EQ(field()->text(), "(NONE)");
        else
            EXPECT_EQ(QApplication::focusWidget(), outlet<QPushButton>("consoleLogPB"))
                << "the next control in the window's tab order";
    }
    // The limit's unit, chosen with the keyboard, sets the limit's scale.
    auto *popUp = outlet<QComboBox>("limitUnitsPopUp");
    popUp->setCurrentIndex(popUp->findText("G") - 1);
    pressKey(popUp, Qt::Key_Down);
    ASSERT_EQ(popUp->currentText(), "G");
    EXPECT_EQ(controller->limitUnitsScale(), 1073741824u);
}

// Quit (the menu's, Ctrl+Q, and the quit signals') or the main window's
// close button, with each window open: the end begins at once (so that the
// preferences closing with it start nothing), every window closes as the
// main window does, and the application quits.
TEST_F(Windows, QuitWithAnyWindowOpenClosesEveryWindowAndQuits) {
    const std::pair<const char *, std::function<void()>> quits[] = {
        {"Quit", [&] { controller->quit(); }},
        {"the close button", [&] { windows().mainWindowWidget()->close(); }}};
    for (const std::string name : {"", "Help", "Preferences", "History"}) {
        for (const auto &[how, quit] : quits) {
            SCOPED_TRACE((name.empty() ? "the main window only" : name) + ", " + how);
            controller = std::make_unique<AppDelegate>();
            controller->setPrimaryService(kService);
            runMainLoopFor(0.05); // help shows at start until it has been closed once
            windows().helpWindowWidget()->hide();
            windows().mainWindowWidget()->show();
            controller->startLogging();
            if (!name.empty()) {
                ASSERT_TRUE(activate(open(name)));
            }
            QStringList leftOpen;
            bool ending = false;
            EXPECT_TRUE(quitsTheApplication([&, &quit = quit] {
                quit();
                for (const QWidget *window : QApplication::topLevelWidgets()) {
                    if (window->isVisible())
                        leftOpen.append(window->windowTitle());
                }
                ending = controller->isTerminating();
            })) << "the application did not quit";
            EXPECT_EQ(leftOpen, QStringList()) << "open when the main window had closed";
            EXPECT_TRUE(ending) << "the end did not begin with the main window's close";
            EXPECT_FALSE(controller->isLogging());
        }
    }
}

// The tray menu's first entry and a second start bring the main window
// back, whether it was minimized, hidden or behind another. The tray menu's
// entries that the window's menu has too show the same shortcut, though a
// context menu hides shortcuts by default. (The menu's entries and the tray
// icon's click: DesktopTest, on a real tray host.)
TEST_F(Windows, TheMainWindowComesBackFromAnyState) {
    QMenu *tray = windows().trayMenuWidget();
    QStringList shortcuts;
    for (const QAction *action : tray->actions()) {
        if (!action->shortcut().isEmpty() && action->isShortcutVisibleInContextMenu())
            shortcuts.append(action->text() + ' ' + action->shortcut().toString());
    }
    EXPECT_EQ(shortcuts, (QStringList{"&Preferences… Ctrl+,", "&History… Ctrl+H", "&Quit Ctrl+Q"}));
    QWidget *main = windows().mainWindowWidget();
    // Last: offscreen, a window that was hidden never becomes the active one
    // again.
    const std::pair<const char *, std::function<void()>> states[] = {
        {"minimized", [&] { main->showMinimized(); }},
        {"behind", [&] { ASSERT_TRUE(activate(windows().prefsWindowWidget())); }},
        {"hidden", [&] { main->hide(); }}};
    const std::pair<const char *, std::function<void()>> ways[] = {
        {"Show Flowtally", [&] { tray->actions().first()->trigger(); }},
        {"a second start", [&] { controller->comeForward(); }}};
    for (const auto &[state, leave] : states) {
        for (const auto &[way, comeBack] : ways) {
            SCOPED_TRACE(std::string(state) + ", " + way);
            const bool wasHidden = std::string(state) == "hidden";
            if (!wasHidden) {
                ASSERT_TRUE(activate(main));
            }
            leave();
            runMainLoopFor(0.05);
            comeBack();
            EXPECT_TRUE(
                runLoopUntil([&] { return wasHidden || QApplication::activeWindow() == main; }, 5));
            EXPECT_TRUE(main->isVisible());
            EXPECT_FALSE(main->isMinimized());
        }
    }
}

// The Applications window says how to enable flowtally-accountd when a
// sample came without its counters, this computer's or the router's: behind
// a router the service counts this computer's applications too.
TEST_F(Windows, TheApplicationsWindowSaysWhenTheServiceDoesNotAnswer) {
    for (const char source : {'L', 'R'}) {
        for (const bool counted : {false, true}) {
            SCOPED_TRACE(std::string(1, source) + (counted ? ", counters" : ", no counters"));
            TrafficSample shown = sample(source, 1000, 2000, 0);
            if (counted)
                shown.insert(SampleKey::ApplicationCounters,
                             QVariant::fromValue(AccountdCounters{}));
            windows().showFigures(shown, Meter::Figures{});
            auto *window = qobject_cast<ApplicationsWindow *>(open("Applications"));
            ASSERT_TRUE(window && window->isVisible());
            EXPECT_EQ(
                window->serviceNote().contains("sudo systemctl enable --now flowtally-accountd"),
                !counted);
            EXPECT_EQ(window->table()->isVisible(), counted);
            window->close();
        }
    }
}

// A screen reader finds a name and a description on every figure and
// control of the main window (a label's name is its text). The status line
// changes at every tick; its texts, long or short, never lay the main
// window out anew, and the line keeps the width of its place. A window
// grown large keeps its rows together; the room goes to the charts.
TEST_F(Windows, MainWindowNamesEveryControlKeepsItsLayoutForTextsAndGrowsTheCharts) {
    QWidget *main = windows().mainWindowWidget();
    controller->processStatsDict(sample('L', 1000, 1000, 0));
    main->show();
    runMainLoopFor(0.1);
    int checked = 0;
    for (QWidget *widget : main->findChildren<QWidget *>()) {
        // All but the window's containers, Qt's own parts and the labels
        // that name a row ("…Label").
        const bool container = widget->metaObject() == &QWidget::staticMetaObject ||
                               qobject_cast<QGroupBox *>(widget) ||
                               qobject_cast<QMenuBar *>(widget);
        if (widget->window() != main || container || widget->objectName().endsWith("Label") ||
            widget->objectName().startsWith("qt_"))
            continue;
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        ASSERT_TRUE(accessible);
        const std::string name =
            widget->objectName().toStdString() + " (" + widget->metaObject()->className() + ")";
        EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty()) << name;
        EXPECT_FALSE(accessible->text(QAccessible::Description).isEmpty()) << name;
        ++checked;
    }
    EXPECT_GT(checked, 20);
    QLabel *line = outlet<QLabel>("infoText");
    const int width = line->width();
    LayoutRequests requests;
    main->installEventFilter(&requests);
    const QStringList texts{"No Error", "Netstat Error: see Console Log.", QString(300, 'x')};
    for (const QString &text : texts) {
        AppDelegate::doSetInfoText(text);
        runMainLoopFor(0.05);
        EXPECT_TRUE(line->text().endsWith(text));
        EXPECT_EQ(line->width(), width);
    }
    EXPECT_EQ(requests.count, 0);
    const auto rows = [&] {
        QList<int> tops;
        for (const char *name : {"inRate", "outRate", "totalGigs", "gbpmText", "displayLimitGB",
                                 "airportName", "airportIP"})
            tops.append(outlet<QWidget>(name)->mapTo(main, QPoint()).y());
        return tops;
    };
    const QList<int> before = rows();
    main->resize(1590, 940);
    runMainLoopFor(0.1);
    EXPECT_GT(line->width(), width) << "the line follows the window's width";
    EXPECT_EQ(line->size(), line->parentWidget()->size());
    EXPECT_EQ(rows(), before);
    EXPECT_GT(main->findChild<CycleChart *>()->height(), 400);
}

// The bars hold what the plan counts against the limit: the total without
// its free hours' bytes. A limit of 0 is no limit: the limit fields say so
// and the bars stay empty, neither full nor red; a limit the total has
// passed fills them red. (The figures themselves: MeterTest.) Figures that
// are not finite show infinity or a dash.
TEST_F(Windows, TheBarsHoldTheBilledTotalAgainstTheLimit) {
    constexpr quint64 kGiB = quint64(1) << 30;
    const QColor red = LevelIndicator::colour(LevelIndicator::Zone::Critical);
    // clang-format off
    const struct {
        const char *what; double limit; quint64 scale, in, out, free, moved; double level;
        const char *limitText, *totalText; std::optional<bool> red; // bars filled red
    } rows[] = {
        {"2.5G of 5G", 5, kGiB, 2 * kGiB - 1000, kGiB / 2, 0, 1000, 50, "5.00G", "2.50G", {}},
        {"2.5G without a limit", 0, kGiB, 2 * kGiB - 1000, kGiB / 2, 0, 1000, qQNaN(), "No limit", "2.50G", false},
        {"past the limit", 1, 1024, 4096, 0, 0, 1000, 100.0 * 5096 / 1024, "1.00K", "4.98K", true},
        {"3 of 4K free against 2K", 2, 1024, 4096, 0, 3072, 0, 50, "2.00K", "4.00K", {}},
    };
    // clang-format on
    double seconds = 0;
    quint64 counter = 1000; // rising from row to row, as a real one does
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        setLimit(row.limit, row.scale);
        controller->loadPersistentValuesFromDict({{"totalInBytes", row.in},
                                                  {"totalOutBytes", row.out},
                                                  {"freeInBytes", row.free},
                                                  {"prevInVal", counter},
                                                  {"prevOutVal", quint64(1000)}});
        controller->processStatsDict(sample('L', counter, 1000, seconds));
        counter += row.moved;
        controller->processStatsDict(sample('L', counter, 1000, seconds += 2));
        seconds += 8;
        const double level = outlet<LevelIndicator>("levelIndicator")->doubleValue();
        if (std::isnan(row.level)) {
            EXPECT_TRUE(std::isnan(level)) << level;
        } else {
            EXPECT_NEAR(level, row.level, 1e-6);
        }
        for (const char *name : {"limitText1", "limitText2"})
            EXPECT_EQ(outlet(name)->text(), row.limitText) << name;
        EXPECT_EQ(outlet("totalGigs")->text(), row.totalText) << "the total stays the total";
        for (const char *name : {"levelIndicator", "rateIndicator"}) {
            auto *bar = outlet<LevelIndicator>(name);
            bar->resize(100, 16);
            if (row.red) {
                EXPECT_EQ(bar->grab().toImage().pixelColor(50, 8) == red, *row.red) << name;
            }
        }
    }
    for (const char *name :
         {"gbpmText", "totalGigs", "limitText1", "limitText2", "inRate", "outRate"}) {
        outlet(name)->setDoubleValue(qInf());
        EXPECT_EQ(outlet(name)->text(), "\u221E") << name;
        outlet(name)->setDoubleValue(qQNaN());
        EXPECT_EQ(outlet(name)->text(), "\u2014") << name;
    }
}

// The windows come back where they were left; the help shows at the start
// until it has been closed once, and says where it is found again.
TEST_F(Windows, WindowsComeBackWhereTheyWereLeftAndHelpUntilItIsClosed) {
    QWidget *main = windows().mainWindowWidget();
    EXPECT_TRUE(windows().helpWindowWidget()->isVisible());
    main->show();
    main->setGeometry(QRect(QPoint(60, 40), main->minimumSizeHint() + QSize(30, 20)));
    // Each window as a person opens it (help shows at the first start), of
    // this run's controller or the next's, and where it is left.
    const std::pair<std::string, QRect> placed[] = {{"Help", {300, 120, 420, 380}},
                                                    {"History", {200, 90, 700, 500}},
                                                    {"Applications", {240, 100, 520, 360}}};
    QList<QRect> places{main->geometry()};
    for (const auto &[name, left] : placed) {
        open(name)->setGeometry(left);
        runMainLoopFor(0.05);
        places.append(open(name)->geometry());
    }
    open("Help")->close();
    EXPECT_TRUE(settingsFile().value("HideHelp").toBool());
    main->close();
    EXPECT_FALSE(settingsFile().contains("PreferencesWindowGeometry")) << "never shown";
    controller = std::make_unique<AppDelegate>();
    runMainLoopFor(0.05);
    EXPECT_FALSE(windows().helpWindowWidget()->isVisible());
    EXPECT_EQ(windows().mainWindowWidget()->geometry(), places[0]);
    for (qsizetype at = 0; at < std::ssize(placed); ++at)
        EXPECT_EQ(open(placed[at].first)->geometry(), places[at + 1]) << placed[at].first;
    // The Help menu's first entry.
    const auto *menuBar = windows().mainWindowWidget()->findChild<QMenuBar *>();
    ASSERT_TRUE(menuBar);
    const QAction *helpMenu = menuBar->actions().last();
    EXPECT_EQ(helpMenu->text(), "&Help");
    helpMenu->menu()->actions().first()->trigger();
    EXPECT_TRUE(windows().helpWindowWidget()->isVisible());
}

// A window opened for the first time goes beside the main window, not over
// it: right of it, else left, else as far from it as the screen allows.
TEST_F(Windows, AWindowOpenedFirstGoesBesideTheMainOneWhereItIsPlaced) {
    const QRect screen(0, 0, 1600, 900);
    // clang-format off
    const struct { const char *what; QRect main; QSize frame; QPoint at; } cases[] = {
        {"room on the right", {100, 50, 600, 400}, {500, 300}, {708, 50}},
        {"room on the left only", {800, 50, 600, 400}, {500, 300}, {292, 50}},
        {"no room: the wider side", {300, 50, 900, 400}, {500, 300}, {1100, 50}},
        {"no room: the wider side, left", {420, 50, 1100, 400}, {500, 300}, {0, 50}},
        {"too low: kept on the screen", {100, 700, 600, 150}, {500, 300}, {708, 600}},
        {"larger than the screen", {100, 50, 600, 400}, {1700, 1000}, {0, 0}},
    };
    // clang-format on
    for (const auto &c : cases)
        EXPECT_EQ(WindowPlacement::besidePosition(c.main, c.frame, screen), c.at) << c.what;
    // The help at the first start shows while the window manager still
    // places the main window: it goes beside where the main window ends up,
    // not where it was before.
    QWidget main;
    QWidget help;
    main.resize(600, 400);
    help.resize(300, 300);
    WindowPlacement placement;
    placement.add(&main, QStringLiteral("TrialMainGeometry"));
    placement.add(&help, QStringLiteral("TrialHelpGeometry"));
    main.show();
    help.show();
    ASSERT_FALSE(main.windowHandle()->isExposed()) << "the main window is not on the screen yet";
    main.move(200, 150); // as the window manager places it
    ASSERT_TRUE(runLoopUntil([&] { return main.windowHandle()->isExposed(); }, 2));
    runMainLoopFor(0.05);
    EXPECT_EQ(help.frameGeometry().topLeft(),
              WindowPlacement::besidePosition(main.frameGeometry(), help.frameGeometry().size(),
                                              main.screen()->availableGeometry()));
}

// The preferences in front pause metering, waiting for a running worker;
// turning back to the main window changes nothing, their Restart button
// resumes. Escape closes every window but the main one, as its Close button
// does (Preferences resume metering, the only window in front that pauses
// it); in the main window it ends nothing.
TEST_F(Windows, PreferencesPauseMeteringAndEscapeClosesEveryWindowButTheMainOne) {
    controller->startLogging();
    ASSERT_TRUE(activate(windows().prefsWindowWidget()));
    EXPECT_FALSE(controller->isLogging());
    EXPECT_FALSE(controller->isWorking()) << "a running worker was waited for";
    ASSERT_TRUE(activate(windows().mainWindowWidget()));
    EXPECT_FALSE(controller->isLogging()) << "turning back to the main window changes nothing";
    outlet<QPushButton>("restartPB")->click();
    EXPECT_TRUE(controller->isLogging());
    for (const std::string name : {"Help", "Preferences", "History", "Log"}) {
        SCOPED_TRACE(name);
        QWidget *opened = open(name);
        ASSERT_TRUE(activate(opened));
        pressKey(QApplication::focusWidget() ? QApplication::focusWidget() : opened,
                 Qt::Key_Escape);
        EXPECT_FALSE(opened->isVisible());
        EXPECT_TRUE(controller->isLogging()) << "after Escape";
        opened = open(name);
        ASSERT_TRUE(activate(opened));
        EXPECT_EQ(controller->isLogging(), name != "Preferences");
        auto *box = opened->findChild<QDialogButtonBox *>(QStringLiteral("closeButtons"));
        QPushButton *close = name == "Preferences" ? outlet<QPushButton>("closePB")
                             : box                 ? box->button(QDialogButtonBox::Close)
                                                   : nullptr;
        ASSERT_TRUE(close);
        close->click();
        EXPECT_FALSE(opened->isVisible());
        EXPECT_TRUE(controller->isLogging()) << "after the Close button";
    }

    ASSERT_TRUE(activate(windows().mainWindowWidget()));
    pressKey(windows().mainWindowWidget(), Qt::Key_Escape);
    EXPECT_TRUE(windows().mainWindowWidget()->isVisible());
    EXPECT_FALSE(controller->isTerminating());
}

} // namespace

} // namespace flowtally
