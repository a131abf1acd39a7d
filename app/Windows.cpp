// The controller's operations of the windows: what happens once the layouts
// are loaded, the router address field, the limit unit, the router's
// interfaces for their pop-up, and the window events that stop, restart and
// end the work cycle.
#include "app/AppDelegate.h"

#include "platform/loop/DelayedPerform.h"
#include "WBLib/IsValidLocalIP.h"
#include "platform/loop/NotificationCenter.h"
#include "record/SettingsKeys.h"
#include "net/SnmpEnvironment.h"
#include "platform/system/SystemLog.h"
#include "platform/system/UserDefaults.h"
#include "WBLib/WBBKMGTFormatter.h"
#include "app/WindowController.h"

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
    if (windows_->helpShowsAtStart())
        performAfterDelay(this, 0, [this] { windows_->showHelp(); });
    NotificationCenter::defaultCenter().addObserver(
        this, kInfoTextNotificationName,
        [this](const QVariant &text) { handleSetInfoText(text.toString()); });
    windows_->awakeFromNib();
}

void AppDelegate::setIPField(const QVariant &value) {
    windows_->showRouterAddress(value);
}

void AppDelegate::doSetUserDefinedIP() {
    const quint32 address = windows_->enteredRouterAddress();
    if (address == 0 || address == 0xFFFFFFFFu)
        defaults().removeObject(SettingsKey::AirportIP);
    else
        defaults().setObject(SettingsKey::AirportIP, addressWithInetNumber(address));
    defaults().writeNow();
    windows_->leaveRouterAddressField();
}

void AppDelegate::doLimitUnitsPopUp() {
    meter_.record().limitUnitsScale = WBBKMGTFormatter::scaleInString(windows_->limitUnitTitle());
}

void AppDelegate::fillRouterInterfacePopUp() {
    if (listingInterfaces_)
        return;
    listingInterfaces_ = true;
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
        mainThread_.perform(
            [this, address, interfaces] { windows_->showRouterInterfaces(address, interfaces); },
            true);
        listingInterfaces_ = false;
    });
}

void AppDelegate::windowDidBecomeKey(QWidget *window) {
    if (window != windows_->prefsWindowWidget())
        return;
    stopLogging();
    windows_->showPreferences();
    fillRouterInterfacePopUp();
}

void AppDelegate::windowWillClose(QWidget *window) {
    windows_->windowWillClose(window);
    if (window == windows_->mainWindowWidget()) {
        terminating = true;
        windows_->closeOtherWindows();
        // Every window has closed: Flowtally ends once this close is through.
        QTimer::singleShot(0, this, [this] { terminate(); });
    }
    if (window == windows_->prefsWindowWidget() && !terminating)
        startLogging();
    defaults().writeNow();
}

void AppDelegate::terminate() {
    // Once: a quit that comes while the work cycle stops (a signal) finds
    // the end under way.
    if (ending_)
        return;
    ending_ = true;
    if (applicationShouldTerminateAfterLastWindowClosed() && applicationShouldTerminate())
        QApplication::quit();
}

void AppDelegate::quit() {
    // Closed already, the main window closes again: whatever opened since
    // goes too.
    windows_->mainWindowWidget()->close();
}

void AppDelegate::comeForward() {
    systemLog(QStringLiteral("Another start of Flowtally brought this one to the front."));
    windows_->bringMainWindowToFront();
}

} // namespace flowtally
