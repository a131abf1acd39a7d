// The controller's operations of the windows: what happens once the layouts
// are loaded, the router address field, the limit unit, the router's
// interfaces for their pop-up, and the window events that stop, restart and
// end the work cycle.
#include "AppDelegate.h"

#include "DelayedPerform.h"
#include "IsValidLocalIP.h"
#include "NotificationCenter.h"
#include "SettingsKeys.h"
#include "SnmpEnvironment.h"
#include "SystemLog.h"
#include "UserDefaults.h"
#include "WBBKMGTFormatter.h"
#include "WindowController.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

namespace flowtally {

namespace {

UserDefaults &defaults() {
    return UserDefaults::standardUserDefaults();
}

} // namespace

void AppDelegate::awakeFromNib() {
    if (windows->helpShowsAtStart())
        performAfterDelay(this, 0, [this] { windows->showHelp(); });
    NotificationCenter::defaultCenter().addObserver(
        this, kInfoTextNotificationName,
        [this](const QVariant &text) { handleSetInfoText(text.toString()); });
    windows->awakeFromNib();
}

void AppDelegate::setIPField(const QVariant &value) {
    windows->showRouterAddress(value);
}

void AppDelegate::doSetUserDefinedIP() {
    const quint32 address = windows->enteredRouterAddress();
    if (address == 0 || address == 0xFFFFFFFFu)
        defaults().removeObject(SettingsKey::AirportIP);
    else
        defaults().setObject(SettingsKey::AirportIP, addressWithInetNumber(address));
    defaults().writeNow();
    windows->leaveRouterAddressField();
}

void AppDelegate::doLimitUnitsPopUp() {
    meter.record().limitUnitsScale = WBBKMGTFormatter::scaleInString(windows->limitUnitTitle());
}

void AppDelegate::fillRouterInterfacePopUp() {
    if (listingInterfaces)
        return;
    listingInterfaces = true;
    // The worker's answer waits for the main thread, which shows it before
    // the worker ends, so the controller outlives both (runLoopUntilWorkerDone).
    // Metering is stopped meanwhile; should the window close first, a tick
    // may run beside it.
    detachThread([this] {
        awaitSnmpEnvironment();
        const bool router = !terminating && probablyHasRouter();
        const QString address = router ? routerIPAddress().value_or(QString()) : QString();
        const QList<RouterInterface> interfaces =
            address.isEmpty() ? QList<RouterInterface>() : routerInterfaces(address);
        mainThread.perform(
            [this, address, interfaces] { windows->showRouterInterfaces(address, interfaces); },
            true);
        listingInterfaces = false;
    });
}

void AppDelegate::windowDidBecomeKey(QWidget *window) {
    if (window != windows->prefsWindowWidget())
        return;
    stopLogging();
    windows->showPreferences();
    fillRouterInterfacePopUp();
}

void AppDelegate::windowWillClose(QWidget *window) {
    windows->windowWillClose(window);
    if (window == windows->mainWindowWidget()) {
        terminating = true;
        windows->closeOtherWindows();
        // Every window has closed: Flowtally ends once this close is through.
        QTimer::singleShot(0, this, [this] { terminate(); });
    }
    if (window == windows->prefsWindowWidget() && !terminating)
        startLogging();
    defaults().writeNow();
}

void AppDelegate::terminate() {
    // Once: a quit that comes while the work cycle stops (a signal) finds
    // the end under way.
    if (ending)
        return;
    ending = true;
    if (applicationShouldTerminateAfterLastWindowClosed() && applicationShouldTerminate())
        QApplication::quit();
}

void AppDelegate::quit() {
    // Closed already, the main window closes again: whatever opened since
    // goes too.
    windows->mainWindowWidget()->close();
}

void AppDelegate::comeForward() {
    systemLog(QStringLiteral("Another start of Flowtally brought this one to the front."));
    windows->bringMainWindowToFront();
}

} // namespace flowtally
