#pragma once

#include "meter/Meter.h"
#include "net/Sources.h"
#include "net/ToolReplies.h"
#include "platform/loop/Threads.h"

#include <QObject>
#include <QVariant>

#include <atomic>
#include <memory>
#include <optional>

class QWidget;

namespace flowtally {

struct AlertFigures;
class DesktopNotifier;
class HistoryWriter;
class MeteredConnection;
class NetworkManagerWatch;
class SleepMonitor;
class Timer;
class WindowController;

// Flowtally's controller: a façade whose operations call the meter (meter/),
// the sources (net/) and the windows (WindowController.h), each defined in
// the file of its concern in app/.
class AppDelegate : public QObject {
    Q_OBJECT

  public:
    AppDelegate();
    ~AppDelegate() override;

    // ---- Launch and termination (main thread) ----
    static void initialize();
    void awakeFromNib();
    void applicationDidFinishLaunching();
    void applicationDidBeginRunLoop();
    void applicationDidBecomeActive();
    bool applicationShouldTerminate();
    bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }
    void quit(); // closes the main window, and with it every other: the one road out
    void comeForward();

    // ---- Work cycle ----
    void startLogging();
    void stopLogging();
    void doRestart();
    void doWork();
    // With the network as the tick saw it and what its record counts of
    // this computer's traffic.
    void threadedDoWork(const std::optional<QVariantMap> &networkState, CountedTraffic counted);
    void willSleep();
    void didWake();
    void wakeUp();

    // ---- Discovery and the traffic sources: the process's Sources (any thread) ----
    static Sources &sources();
    static std::optional<QVariantMap> primaryInterfacePlist();
    static std::optional<QString> primaryInterface();
    static std::optional<QString> primaryInterfaceRouterIP();
    static std::optional<QString> primaryServiceUUID();
    static std::optional<QString> primaryInterfaceIP();
    static std::optional<QString> communityPassword();
    static std::optional<QString> routerIPAddress();
    static bool probablyHasRouter();
    static void clearRouterDecision();
    static void rearmRouterProbe();
    bool serviceChanged() const;
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
    static QList<RouterInterface> routerInterfaces(const QString &address);
    // This computer's sample counts all its traffic, or only the Internet's.
    std::optional<TrafficSample> tickSample(CountedTraffic counted = CountedTraffic::All);
    static std::optional<TrafficSample> primaryInterfaceStats();
    static std::optional<TrafficSample> localStatsForPrimaryInterface(const QString &name);
    static void retellFaults();
    static std::optional<QVariantMap> IPInfo(const std::optional<QString> &address);
    static std::optional<QString> enetAddressFromIPAddress(const std::optional<QString> &address);

    // ---- Accounting, persistence, history, cycles and alerts (main thread) ----
    void processStatsDict(const std::optional<TrafficSample> &sample);
    static const QStringList &persistentDataKeys();
    static std::optional<QVariantMap> registrationDefaults();
    void readDatFile();
    void doWriteToDisk();
    QVariantMap dictionaryFromPersistentValues() const { return meter_.record().toMap(); }
    void loadPersistentValuesFromDict(const QVariantMap &record);
    void setValue(const QVariant &value, const QString &forUndefinedKey);
    void doResetTotals();
    void doResetTotalsNow();
    // The record of before a reset of `resetService`, with what was counted
    // since added to it; where another network is held now, into the reset
    // one's stored record.
    void undoReset(const QVariantMap &before, bool automatic,
                   const std::optional<QString> &resetService = std::nullopt);
    void storeRecordNow(); // and the settings file is written now
    QDateTime resetDate() const { return meter_.record().resetDate; }
    void setResetDate(const QDateTime &date) { meter_.record().resetDate = date; }
    std::optional<QString> primaryService() const { return meter_.record().service; }
    void setPrimaryService(const std::optional<QString> &id) { meter_.record().service = id; }
    void startHistory(); // once: the history in line with the records, then kept so
    void recordHistory(const Meter::Figures &figures, const TrafficSample &sample);
    void resetForNewCycle();
    void checkAlerts();
    // The connection's metered state on the main window, with the offer to
    // mark it so while that is worth it (offersToMarkMetered).
    void showMetered();
    // Asks NetworkManager to mark the connection metered, from the window's
    // button or an alert's; a failure goes to the status line, a success
    // shows as the new state.
    void markConnectionMetered();
    void setCycleStartDay(int day);
    // The held network's choices (NetworkChoices.cpp).
    void setCountedTraffic(CountedTraffic counted);
    void setFreeWindows(const FreeWindows &windows);
    void reapplyFreeHours(); // the held period's history read anew with them

    // ---- Status line, windows and preference controls (main thread) ----
    static const QString kInfoTextNotificationName;
    static void doSetInfoText(const QString &text); // any thread
    static void _doSetInfoText(const QString &text);
    void handleSetInfoText(const QString &text);
    void showConsoleLog();
    void setIPField(const QVariant &value);
    void doSetUserDefinedIP();
    void doLimitUnitsPopUp();
    void windowDidBecomeKey(QWidget *window);
    void windowWillClose(QWidget *window);
    WindowController &windowController() const { return *windows_; }
    QWidget *mainWindowWidget() const;
    QWidget *prefsWindowWidget() const;

    // ---- For tests and benchmarks only: Flowtally itself reads none ----
    quint64 totalInBytes() const { return meter_.record().totalIn; }
    quint64 totalOutBytes() const { return meter_.record().totalOut; }
    quint64 prevInVal() const { return meter_.record().prevIn; }
    double gbpm() const { return meter_.projection(); }
    quint64 limitUnitsScale() const { return meter_.record().limitUnitsScale; }
    bool isTerminating() const { return terminating; }
    bool isWorking() const { return working; }
    bool isLogging() const { return timer != nullptr; }
    QDateTime lastFireDate() const { return meter_.lastFireDate(); }

    // Seconds to the next tick after a processed sample: in front, behind.
    static constexpr double kFrontInterval = 1.5, kBackInterval = 4.0;

  private:
    void terminate();                // once: the main window has closed, and every other with it
    void fillRouterInterfacePopUp(); // on a worker, while metering is stopped
    void writeRecord(const QString &service);
    void resetTotalsForCycle(const QDateTime &start);
    void undoCycleResetOfClockAhead(); // the clock went back before the cycle began
    void readLastReading();            // a new metering session begins
    void runLoopUntilWorkerDone();
    void writeSettingsBeforeSuspend();
    AlertFigures alertFigures() const; // the held network's, as the alerts take them

    Meter meter_; // the held network's record, its last reading, figures
    std::unique_ptr<WindowController> windows_; // reads the meter: goes first
    std::unique_ptr<SleepMonitor> sleepMonitor_;
    std::unique_ptr<NetworkManagerWatch> networkManager_;
    std::unique_ptr<MeteredConnection> meteredConnection_; // NetworkManager's Metered
    MainThreadQueue mainThread_; // the worker's hand-overs, dropped with the controller
    std::shared_ptr<Timer> timer;
    std::shared_ptr<Timer> timerWriteToDisk;
    std::atomic<bool> terminating = false;
    bool ending_ = false; // terminate() has begun
    std::atomic<bool> sleeping = false;
    std::atomic<bool> working = false;
    std::atomic<bool> listingInterfaces_ = false;
    std::shared_ptr<HistoryWriter> historyWriter_; // the history, written behind the settings
    QString historyName_;                          // the held network's name in the history
    std::unique_ptr<DesktopNotifier> notifier_;
};

} // namespace flowtally
