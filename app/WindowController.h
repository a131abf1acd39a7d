#pragma once

#include "meter/Meter.h"
#include "charts/RateSegments.h"
#include "net/ToolReplies.h"
#include "net/TrafficSample.h"
#include "record/WeeklyProjection.h"

#include <QObject>
#include <QVariant>

#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QPushButton;
class QSpinBox;
class QUndoStack;
class QWidget;

namespace flowtally {

class Badge;
class BusyIndicator;
class CycleChart;
class FormattedField;
class HistoryStore;
class HistoryWindow;
class LevelIndicator;
class RatesChart;
class WindowEvents;
class WindowPlacement;

// Flowtally's windows: the main window, the preferences, help and History
// windows, their controls, the menus and the tray's badge. It shows what the
// meter holds and counted (it reads the meter, never changes it) and tells
// the controller, through its signals, what the person does; a control that
// only holds a setting (the limit field, the community, the warning share,
// start at login, the router interface) writes the setting itself. Main
// thread only.
//
// Its parts are defined in the files of their concern: the windows and
// their events here, the main window's figures in MainWindowFigures.cpp,
// the preference controls in Preferences.cpp, the views of the history in
// HistoryViews.cpp and the menus in Menus.cpp.
class WindowController : public QObject {
    Q_OBJECT

  public:
    // Loads the window layouts; nothing shows yet.
    explicit WindowController(const Meter &meter);
    ~WindowController() override;

    // ---- The windows ----
    QWidget *mainWindowWidget() const { return mainWindow; }
    QWidget *prefsWindowWidget() const { return prefsWindow; }
    QWidget *helpWindowWidget() const { return helpWindow; }
    // None until it was first shown.
    HistoryWindow *historyWindowWidget() const { return historyWindow_; }
    // The tray icon's menu; there is one without a tray too.
    QMenu *trayMenuWidget() const;
    // The main window's undo stack: the undo of a totals reset.
    QUndoStack *undoStack() const { return undoManager_; }

    // The address field gets its formatter, once the layouts are loaded.
    void awakeFromNib();
    // Whether the help window comes to the front at start: until it has been
    // closed once, and not at a start with the session.
    bool helpShowsAtStart() const;
    void showHelp();
    // A window is about to close: where it was is kept for the next run, and
    // the help window's close is remembered for good.
    void windowWillClose(QWidget *window);
    // Closes the preferences and help windows, as their close buttons
    // would, then every other window of Flowtally's that shows but the main
    // one (History, a menu, a window added later).
    void closeOtherWindows();
    void bringMainWindowToFront();
    void showHistoryWindow();

    // ---- The main window's figures ----
    // The figures of an accepted sample and the router's name that came with
    // it, on the fields, the bars and the badge.
    void showFigures(const TrafficSample &sample, const Meter::Figures &figures);
    // The cycle line, and the sample's rates on the chart of the last
    // minutes.
    void showCycle(const Meter::Figures &figures, const QDateTime &at);
    // The rates chart begins anew (another network).
    void forgetRates();
    // The held network's days of its cycle (or period) on the cycle chart.
    void refreshCycleChart();
    // A status text, time-stamped, on the status line; the router fields'
    // tooltips describe what they show now.
    void showInfoText(const QString &text);
    // The busy indicator, moving while a sample is being taken.
    void showBusy(bool busy);
    void enableRestart(bool enabled);

    // ---- The connection ----
    // Whether the connection is metered ("yes", "no", "unknown" for none:
    // NetworkManager does not say), and the button that marks it so, shown
    // only when `offer`.
    void showMetered(std::optional<bool> metered, bool offer);

    // ---- The router address field ----
    // Shows an address (a dotted string, or the number 0 for none) unless
    // the person is editing the field.
    void showRouterAddress(const QVariant &value);
    // The address number the person committed.
    quint32 enteredRouterAddress() const;
    // The keyboard focus moves on from the field, so that ticks show in it.
    void leaveRouterAddressField();

    // ---- The preference controls ----
    // The limit field's number of units.
    double limitNumber() const;
    // The title of the limit unit chosen.
    QString limitUnitTitle() const;
    // Selects, in the limit unit pop-up, the unit of the held record's scale.
    void selectLimitUnit();
    // The preferences came to the front: they show the held network's cycle.
    void showPreferences();
    // The interfaces of the router at `address` in their pop-up (none and
    // disabled without a router), the one kept for it chosen.
    void showRouterInterfaces(const QString &address, const QList<RouterInterface> &interfaces);

  signals:
    // The person's actions, and the windows' events.
    void windowBecameKey(QWidget *window);
    void windowClosing(QWidget *window);
    void routerAddressCommitted();
    void limitUnitChosen();
    void cycleStartDayChosen(int day);
    // What the held network counts, and its free hours.
    void countedTrafficChosen(CountedTraffic counted);
    void freeWindowsChosen(const FreeWindows &windows);
    void resetTotalsAsked();
    void restartAsked();
    void consoleLogAsked();
    void markMeteredAsked();
    void quitAsked();
    // A text for the status line.
    void statusText(const QString &text);

  private:
    // The state line, from the last sample shown and the figures.
    void showState();
    // The billed total expected by the end of the cycle, from the way the
    // held network's line was used in the last weeks.
    void showExpected(const QDateTime &now);
    // A window of Flowtally's: it comes back where it was left (the place
    // kept under the settings key) and its events reach the controller.
    // Before it first shows.
    void track(QWidget *window, const QString &placeKey);
    void addCharts(QMainWindow *main);
    void connectPreferences();
    // Keeps the free hours typed in their field for the held network, or
    // says what is wrong with them.
    void freeHoursEntered();
    // Keeps the interface chosen in the pop-up for the router its list came
    // from, and writes the settings out.
    void doRouterInterfacePopUp();
    void buildMenus(QMainWindow *main);
    // The history as the charts read it, opened on first use; none while
    // there is none.
    HistoryStore *historyForReading();

    const Meter &meter_;

    // Outlets, in their declared order.
    QWidget *prefsWindow = nullptr;
    QWidget *mainWindow = nullptr;
    QWidget *helpWindow = nullptr;
    LevelIndicator *levelIndicator = nullptr;
    LevelIndicator *rateIndicator = nullptr;
    FormattedField *totalGigs = nullptr;
    FormattedField *inRate = nullptr;
    FormattedField *outRate = nullptr;
    FormattedField *airportIP = nullptr;
    QLineEdit *airportName = nullptr;
    FormattedField *displayLimitGB = nullptr;
    FormattedField *limitText1 = nullptr;
    FormattedField *limitText2 = nullptr;
    QLabel *limitText1Label = nullptr;
    QLabel *limitText2Label = nullptr;
    FormattedField *gbpmText = nullptr;
    QLabel *infoText = nullptr;
    QComboBox *limitUnitsPopUp = nullptr;
    QComboBox *routerInterfacePopUp = nullptr;
    QLineEdit *communityPasswordField = nullptr;
    QPushButton *resetTotalsNowPB = nullptr;
    QPushButton *restartPB = nullptr;
    BusyIndicator *workProgress = nullptr;
    // Beyond the outlets: the line that says what is happening, the router
    // box's source and metered state, the cycle line and the charts of the
    // main window, the preferences of the cycle, alerts and login, the
    // History window.
    QLabel *stateText_ = nullptr;
    QLineEdit *sourceText_ = nullptr;
    QLineEdit *meteredText_ = nullptr;
    QPushButton *markMeteredPB_ = nullptr;
    QLabel *expectedLabel_ = nullptr;
    FormattedField *expectedText_ = nullptr;
    QLabel *expectedEnd_ = nullptr;
    QLabel *cycleTextLabel_ = nullptr;
    QLabel *cycleText_ = nullptr;
    CycleChart *cycleChart_ = nullptr;
    RatesChart *ratesChart_ = nullptr;
    QComboBox *cycleStartDayPopUp_ = nullptr;
    QSpinBox *warnAtPercent_ = nullptr;
    QCheckBox *startAtLogin_ = nullptr;
    QComboBox *routerCountersPopUp_ = nullptr;
    QCheckBox *internetOnlyCheck_ = nullptr;
    QLineEdit *freeHoursField_ = nullptr;
    QLabel *freeHoursProblem_ = nullptr;
    HistoryWindow *historyWindow_ = nullptr;

    QUndoStack *undoManager_ = nullptr;
    WindowEvents *windowEvents_ = nullptr;
    std::unique_ptr<WindowPlacement> placement_;
    std::unique_ptr<Badge> badge_;

    // The router whose interfaces the pop-up lists.
    QString interfaceListAddress_;
    // The history as the charts read it, on the main thread.
    std::unique_ptr<HistoryStore> historyReader_;
    // The rates of the last minutes, for the rates chart.
    QList<RatePoint> rates_;
    // What the state line tells: the last sample shown and its billed
    // total; whether metering is paused.
    std::optional<TrafficSample> shownSample_;
    quint64 shownBilled_ = 0;
    bool paused_ = false;
    // How the held network's line was used through the week, read from the
    // history once an hour and for each new network.
    WeekProfile weekProfile_;
    QString weekProfileNetwork_;
    QDateTime weekProfileReadAt_;
};

} // namespace flowtally
