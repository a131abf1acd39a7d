#pragma once

#include "Meter.h"
#include "RateSegments.h"
#include "Sources.h"
#include "Threads.h"
#include "ToolReplies.h"
#include "TrafficSample.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariant>

#include <atomic>
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
class CycleChart;
class DesktopNotifier;
class HistoryStore;
class HistoryWindow;
class HistoryWriter;
class RatesChart;
class BusyIndicator;
class FormattedField;
class LevelIndicator;
class NetworkManagerWatch;
class SleepMonitor;
class Timer;
class WindowEvents;
class WindowPlacement;

// Flowtally's controller: the work cycle, discovery and the traffic sources,
// accounting, persistence, the status line and the windows. Its operations
// are defined in the files of their subsystem (net/ and app/).
class AppDelegate : public QObject {
    Q_OBJECT

  public:
    AppDelegate();
    ~AppDelegate() override;

    // ---- Launch and termination (main thread) ----
    // Registers the registration defaults; runs once before the first use.
    static void initialize();
    void awakeFromNib();
    void applicationDidFinishLaunching();
    void applicationDidBeginRunLoop();
    void applicationDidBecomeActive();
    // Always answers "quit now" after stopping the work cycle.
    bool applicationShouldTerminate();
    bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }
    // The one road out: closing the main window (quit signals and the Quit
    // menu item come this way too), which closes every other window.
    void quit();
    // Brings the main window to the front: a second start of Flowtally asked.
    void comeForward();

    // ---- Work cycle ----
    void startLogging();
    void stopLogging();
    void doRestart();
    void doWork();
    // The worker's part of a tick, with the network as the tick saw it.
    void threadedDoWork(const std::optional<QVariantMap> &networkState);
    void willSleep();
    void didWake();
    void wakeUp();

    // ---- Discovery and the traffic sources (any thread unless noted) ----
    // They are the process's: one-line calls into Sources (net/), whose
    // status texts go to the status line.
    static Sources &sources();

    static std::optional<QVariantMap> primaryInterfacePlist();
    static std::optional<QString> primaryInterface();
    static std::optional<QString> primaryInterfaceRouterIP();
    static std::optional<QString> primaryServiceUUID();
    static std::optional<QString> primaryInterfaceIP();
    static std::optional<QString> communityPassword();
    static std::optional<QString> routerIPAddress();
    static bool probablyHasRouter();
    // Clears the router decision of the last tick (main thread, each tick).
    static void clearRouterDecision();
    // The next tick probes the router, however long the last silent one
    // would have it wait (see ProbeRhythm.h), and asks for this computer's
    // address afresh: metering starts again.
    static void rearmRouterProbe();
    // Whether the network now is another than the one held.
    bool serviceChanged() const;

    // ---- Router source ----
    static std::optional<QString> SNMPGet(const QString &oid, const std::optional<QString> &atIP);
    static std::optional<QString> SNMPGet(const QString &oid);
    static bool SNMPWorksWith(const std::optional<QString> &address);
    static QString SNMPConfiguredName();
    std::optional<QString> SNMPWalk(const QString &oid);
    QString routerName();
    double SNMPUptime();
    quint32 SNMPInterfaceIndex();
    quint32 SNMPIfIn();
    quint32 SNMPIfOut();
    std::optional<TrafficSample> routerStats();
    // The router's interfaces, for the preferences' pop-up: walks of the
    // interface table's descriptions, names, aliases and counters; none
    // when the descriptions cannot be walked. Runs tools: not on the main
    // thread.
    static QList<RouterInterface> routerInterfaces(const QString &address);
    // The tick's sample: the router's when the router decision says so,
    // else (and while the chosen router interface is missing) the primary
    // interface's.
    std::optional<TrafficSample> tickSample();

    // ---- Local source ----
    static std::optional<TrafficSample> primaryInterfaceStats();
    static std::optional<TrafficSample> localStatsForPrimaryInterface(const QString &name);
    // A fault of the local source that lasts is told once (see
    // LocalSource.h); after this call, once more. Metering begins again.
    static void retellFaults();

    // ---- Address-resolution lookups ----
    static std::optional<QVariantMap> IPInfo(const std::optional<QString> &address);
    static std::optional<QString> enetAddressFromIPAddress(const std::optional<QString> &address);

    // ---- Accounting (main thread) ----
    void processStatsDict(const std::optional<TrafficSample> &sample);

    // ---- Persistence (main thread) ----
    static const QStringList &persistentDataKeys();
    static std::optional<QVariantMap> registrationDefaults();
    void readDatFile();
    void doWriteToDisk();
    QVariantMap dictionaryFromPersistentValues() const;
    void loadPersistentValuesFromDict(const QVariantMap &record);
    void setValue(const QVariant &value, const QString &forUndefinedKey);
    void doResetTotals();
    void doResetTotalsNow();
    // Undoes a reset: the record of before it, with what was counted since
    // added to its totals. An automatic one no longer stands.
    void undoReset(const QVariantMap &before, bool automatic);
    // Stores the record at once and has the settings file written: a reset
    // and its undo are not left to the timed writes.
    void storeRecordNow();
    QDateTime resetDate() const { return meter.record().resetDate; }
    void setResetDate(const QDateTime &date) { meter.record().resetDate = date; }
    std::optional<QString> primaryService() const { return meter.record().service; }
    void setPrimaryService(const std::optional<QString> &service) {
        meter.record().service = service;
    }

    // ---- History, billing cycles and alerts (main thread) ----
    // Brings every network's history in line with its record (once, at the
    // first start of logging) and has the history written behind the
    // settings.
    void startHistory();
    // What an accepted sample added goes to the network's history; the name
    // the network is shown by with it.
    void recordHistory(const Meter::Figures &figures, const TrafficSample &sample);
    // A network's totals begin anew on the first day of its billing cycle:
    // one undoable reset, at the first tick after the cycle began.
    void resetForNewCycle();
    // The cycle line of the main window, the charts and the alerts, after
    // an accepted sample.
    void showCycle(double inRateValue, double outRateValue, const QDateTime &at);
    void refreshCycleChart();
    void checkAlerts();
    void showHistoryWindow();
    // The history, opened for reading on the main thread on first use; none
    // while there is none.
    HistoryStore *historyForReading();
    // The network's cycle start day (0: none) and the share of the limit
    // that warns, as the preferences set them.
    int cycleStartDay() const { return meter.record().cycleStartDay; }
    void setCycleStartDay(int day);

    // ---- Status line ----
    static const QString kInfoTextNotificationName;
    static void doSetInfoText(const QString &text);
    static void _doSetInfoText(const QString &text);
    void handleSetInfoText(const QString &text);
    void showConsoleLog();

    // ---- Windows and preference controls (main thread) ----
    void setIPField(const QVariant &value);
    void doSetUserDefinedIP();
    void doLimitUnitsPopUp();
    // Keeps the router interface chosen in the pop-up for the router its
    // list came from.
    void doRouterInterfacePopUp();
    void windowDidBecomeKey(QWidget *window);
    void windowWillClose(QWidget *window);

    // The main window, which main() shows.
    QWidget *mainWindowWidget() const { return mainWindow; }

    // ---- For tests and benchmarks only: Flowtally itself reads none ----
    quint64 totalInBytes() const { return meter.record().totalIn; }
    quint64 totalOutBytes() const { return meter.record().totalOut; }
    quint64 prevInVal() const { return meter.record().prevIn; }
    double gbpm() const { return meter.projection(); }
    quint64 limitUnitsScale() const { return meter.record().limitUnitsScale; }
    bool isTerminating() const { return terminating; }
    bool isWorking() const { return working; }
    bool isLogging() const { return timer != nullptr; }
    QDateTime lastFireDate() const { return meter.lastFireDate(); }
    QWidget *prefsWindowWidget() const { return prefsWindow; }
    QWidget *helpWindowWidget() const { return helpWindow; }
    QUndoStack *undoStack() const { return undoManager; }
    HistoryWindow *historyWindowWidget() const { return historyWindow; }
    QMenu *trayMenuWidget() const;

    // The interval to the next tick after a processed sample, in seconds.
    static constexpr double kFrontInterval = 1.5;
    static constexpr double kBackInterval = 4.0;

  private:
    void loadWindows();
    void addCharts(QMainWindow *main);
    void connectUsagePreferences();
    void buildMenus(QMainWindow *main);
    // Closes the preferences and help windows, as their close buttons
    // would, then every other window of Flowtally's that shows but the main
    // one (History, a menu, a window added later).
    void closeOtherWindows();
    // Stops the work cycle and quits the application, once: the main window
    // has closed, and with it every other.
    void terminate();
    // Selects, in the limit unit pop-up, the unit of the limit scale held.
    void selectLimitUnit();
    // Fills the router interface pop-up from the router of the last tick,
    // on a worker (metering is stopped), and shows the list when it comes.
    void fillRouterInterfacePopUp();
    void showRouterInterfaces(const QString &address, const QList<RouterInterface> &interfaces);
    void writeRecord(const QString &service);
    // The automatic reset for the billing cycle that began at `start`: one
    // undoable reset, its record of before kept with the record.
    void resetTotalsForCycle(const QDateTime &start);
    // The clock went back before the start of the cycle whose automatic
    // reset was made: the reset is undone, and comes again when the cycle
    // really begins.
    void undoCycleResetOfClockAhead();
    // Loads the last reading from the settings; a new metering session
    // begins.
    void readLastReading();
    // Adds bytes to the stored totals and history of a network that is not
    // the one metered now.
    void creditNetwork(const QString &service, const CounterGrowth &growth, const QDateTime &at);
    void showFigures(const TrafficSample &sample, const Meter::Figures &figures);
    void showBadge(const QString &text);
    bool isApplicationActive() const;
    void runLoopUntilWorkerDone();
    // Stores the record and writes the settings file, waiting a little.
    void writeSettingsBeforeSuspend();

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
    FormattedField *gbpmText = nullptr;
    QLabel *infoText = nullptr;
    QComboBox *limitUnitsPopUp = nullptr;
    QComboBox *routerInterfacePopUp = nullptr;
    QLineEdit *communityPasswordField = nullptr;
    QPushButton *resetTotalsNowPB = nullptr;
    QPushButton *restartPB = nullptr;
    BusyIndicator *workProgress = nullptr;
    // Beyond the outlets: the cycle line and the charts of the main window,
    // the preferences of the cycle, alerts and login, the History window.
    QLabel *cycleTextLabel = nullptr;
    QLabel *cycleText = nullptr;
    CycleChart *cycleChart = nullptr;
    RatesChart *ratesChart = nullptr;
    QComboBox *cycleStartDayPopUp = nullptr;
    QSpinBox *warnAtPercent = nullptr;
    QCheckBox *startAtLogin = nullptr;
    HistoryWindow *historyWindow = nullptr;

    QUndoStack *undoManager = nullptr;
    WindowEvents *windowEvents = nullptr;
    std::unique_ptr<WindowPlacement> placement;
    std::unique_ptr<Badge> badge;
    std::unique_ptr<SleepMonitor> sleepMonitor;
    std::unique_ptr<NetworkManagerWatch> networkManager;

    // Work cycle. What the worker hands to the main thread goes through the
    // controller's own queue: what is left in it when the controller goes is
    // dropped with it.
    MainThreadQueue mainThread;
    std::shared_ptr<Timer> timer;
    std::shared_ptr<Timer> timerWriteToDisk;
    std::atomic<bool> terminating = false;
    bool ending = false; // terminate() has begun
    std::atomic<bool> sleeping = false;
    std::atomic<bool> working = false;
    std::atomic<bool> listingInterfaces = false;

    // The router whose interfaces the pop-up lists.
    QString interfaceListAddress;

    // The accounting: the held network's record, its last reading and
    // figures.
    Meter meter;
    // The traffic history, written behind the settings; the name the
    // history knows the held network by.
    std::shared_ptr<HistoryWriter> historyWriter;
    bool historyStarted = false;
    QString historyName;
    // The history as the charts read it, on the main thread.
    std::unique_ptr<HistoryStore> historyReader;
    // The rates of the last minutes, for the rates chart.
    QList<RatePoint> rates;
    std::unique_ptr<DesktopNotifier> notifier;
};

} // namespace flowtally
