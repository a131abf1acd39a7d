// The work cycle: launch, the work and write timers, one worker per tick,
// stopping and restarting, sleep and wake, and termination.
#include "app/AppDelegate.h"

#include "platform/system/DynamicStore.h"

#include "app/WindowController.h"
#include "meter/ApplicationTally.h"
#include "net/AccountdService.h"
#include "net/NetworkState.h"
#include "net/SnmpEnvironment.h"
#include "platform/loop/DelayedPerform.h"
#include "platform/loop/MainLoop.h"
#include "platform/loop/Threads.h"
#include "platform/loop/Timer.h"
#include "platform/system/SleepMonitor.h"
#include "platform/system/UserDefaults.h"

namespace flowtally {

namespace {

constexpr double kWorkInterval = 1.0;
constexpr double kWriteInterval = 2.0;
constexpr double kWaitSlice = 0.05;
constexpr double kLastRunAtQuit = 0.2;
constexpr double kActivationDelay = 0.1;
constexpr double kWakeDelay = 4.0;
// How long sleep or shutdown waits for the settings to be written.
constexpr double kLongestSuspendWrite = 2.0;

// Behind a router this computer's applications are still counted: the
// service's counters go with the router's sample, with the interface toward
// the router. Asks the service: never on the main thread.
void addComputerCounters(TrafficSample &sample) {
    const CounterSource source = sourceOfSample(sample);
    if (source != CounterSource::Router && source != CounterSource::Upnp)
        return;
    const std::optional<QString> interface = primaryInterface();
    if (!interface)
        return;
    const AccountdReading reading = askAccountd();
    if (reading.outcome != AccountdReading::Outcome::Counters)
        return;
    sample.insert(SampleKey::ApplicationCounters, QVariant::fromValue(reading.counters));
    sample.insert(SampleKey::ComputerInterface, *interface);
}

} // namespace

void AppDelegate::applicationDidFinishLaunching() {
    meter_.record().prevIn = 0;
    meter_.record().prevOut = 0;
    meter_.record().totalIn = 0;
    meter_.record().totalOut = 0;
    performAfterDelay(this, 0, [this] { applicationDidBeginRunLoop(); });
}

void AppDelegate::applicationDidBeginRunLoop() {
    startLogging();
    sleepMonitor_ = std::make_unique<SleepMonitor>();
    connect(sleepMonitor_.get(), &SleepMonitor::willSleep, this, &AppDelegate::willSleep);
    connect(sleepMonitor_.get(), &SleepMonitor::didWake, this, &AppDelegate::didWake);
    connect(sleepMonitor_.get(), &SleepMonitor::willShutDown, this,
            &AppDelegate::writeSettingsBeforeSuspend);
    // The router address field must not be in an edit, or ticks can't fill it.
    windows_->leaveRouterAddressField();
}

void AppDelegate::applicationDidBecomeActive() {
    if (timer && !terminating)
        timer->setFireDateFromNow(kActivationDelay);
}

void AppDelegate::startLogging() {
    if (terminating)
        return;
    // A second start while running would leave the first pair of timers
    // firing with nobody holding them.
    if (timer) {
        timer->invalidate();
        timerWriteToDisk->invalidate();
    }
    windows_->enableRestart(false);
    rearmRouterProbe();
    retellFaults();
    // What was counted since the last write is written first: read back from
    // the file below, it would be counted again from the stored last reading,
    // and its bytes waiting for the history would reach it twice.
    if (meter_.record().service && meter_.record().periodBegan())
        writeRecord(*meter_.record().service);
    setPrimaryService(primaryServiceUUID());
    readDatFile();
    readLastReading();
    startHistory();
    // The charts and the limit unit pop-up show the loaded record.
    windows_->refreshCycleChart();
    windows_->selectLimitUnit();
    timer = Timer::scheduledTimer(
        kWorkInterval, [this] { doWork(); }, true);
    timerWriteToDisk = Timer::scheduledTimer(
        kWriteInterval, [this] { doWriteToDisk(); }, true);
    timer->fire();
}

void AppDelegate::runLoopUntilWorkerDone() {
    // The worker waits for the main thread once, so the loop must keep going;
    // so does the one that lists the router's interfaces.
    while (working || listingInterfaces_)
        runMainLoopFor(kWaitSlice);
}

void AppDelegate::stopLogging() {
    if (timer) {
        timer->invalidate();
        timerWriteToDisk->invalidate();
        timer.reset();
        timerWriteToDisk.reset();
    }
    runLoopUntilWorkerDone();
    if (terminating) {
        runMainLoopFor(kLastRunAtQuit);
        return;
    }
    windows_->showBusy(false);
    windows_->enableRestart(true);
}

void AppDelegate::doRestart() {
    startLogging();
}

void AppDelegate::doWork() {
    if (terminating || working)
        return;
    working = true;
    clearRouterDecision();
    // The whole tick, here and on the worker, sees the network as it is now.
    // A change in the meantime is found when the sample comes back: a sample
    // is taken only for the network still metered then.
    const DynamicStore::Snapshot network;
    if (serviceChanged()) {
        const std::optional<QString> current = primaryServiceUUID();
        // Without a network before and now there is nothing to store or
        // load; loading the defaults again every tick would only fill the log.
        if (current || meter_.record().service) {
            if (meter_.record().service) {
                writeRecord(*meter_.record().service);
                // The network that was left goes to the file at once.
                UserDefaults::standardUserDefaults().writeNow();
            }
            setPrimaryService(current);
            readDatFile();
            windows_->selectLimitUnit();
            windows_->forgetRates();
            windows_->refreshCycleChart();
        }
    }
    resetForNewCycle();
    detachThread([this, state = network.state(), counted = meter_.record().countedTraffic] {
        threadedDoWork(state, counted);
    });
}

void AppDelegate::threadedDoWork(const std::optional<QVariantMap> &networkState,
                                 CountedTraffic counted) {
    const DynamicStore::Snapshot network(networkState);
    // The SNMP tools' modules are settled before the first query.
    awaitSnmpEnvironment();
    const std::optional<QString> address = routerIPAddress();
    const QVariant shown = address ? QVariant(*address) : QVariant(0u);
    mainThread_.perform([this, shown] { setIPField(shown); }, false);

    if (!terminating && !sleeping) {
        mainThread_.perform([this] { windows_->showBusy(true); }, false);
        std::optional<TrafficSample> sample = tickSample(counted);
        // What each application moved, from the service's counters.
        if (sample) {
            addApplicationCounters(*sample);
            addComputerCounters(*sample);
        }
        mainThread_.perform([this] { windows_->showBusy(false); }, true);
        mainThread_.perform([this, sample] { processStatsDict(sample); }, false);
    }
    working = false;
}

void AppDelegate::willSleep() {
    sleeping = true;
    runLoopUntilWorkerDone();
    writeSettingsBeforeSuspend();
}

void AppDelegate::writeSettingsBeforeSuspend() {
    // What was counted goes to the file before the computer sleeps or shuts
    // down; the writer's thread writes it while the loop runs on.
    if (meter_.record().service)
        writeRecord(*meter_.record().service);
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.writeNow();
    for (double waited = 0; !defaults.isWritten() && waited < kLongestSuspendWrite;
         waited += kWaitSlice)
        runMainLoopFor(kWaitSlice);
}

void AppDelegate::didWake() {
    performAfterDelay(this, kWakeDelay, [this] { wakeUp(); });
}

void AppDelegate::wakeUp() {
    sleeping = false;
}

bool AppDelegate::serviceChanged() const {
    const std::optional<QString> current = primaryServiceUUID();
    if (!current || !meter_.record().service)
        return true;
    return *current != *meter_.record().service;
}

bool AppDelegate::applicationShouldTerminate() {
    terminating = true;
    cancelPerforms(this);
    stopLogging();
    sleepMonitor_.reset();
    return true;
}

} // namespace flowtally
