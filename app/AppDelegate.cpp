// The controller's making and ending, and what the windows tell it: each
// action of the person goes to the operation of its name.
#include "AppDelegate.h"

#include "DesktopNotifier.h"
#include "MeteredConnection.h"
#include "NetworkManagerWatch.h"
#include "SleepMonitor.h"
#include "Timer.h"
#include "WindowController.h"

#include <QWidget>

namespace flowtally {

AppDelegate::AppDelegate()
    : networkManager(std::make_unique<NetworkManagerWatch>()),
      meteredConnection(std::make_unique<MeteredConnection>()),
      notifier(std::make_unique<DesktopNotifier>()) {
    // An alert no desktop shows goes to the status line.
    connect(notifier.get(), &DesktopNotifier::notShown, this, &AppDelegate::doSetInfoText);
    initialize();
    windows = std::make_unique<WindowController>(meter);
    WindowController *w = windows.get();
    connect(w, &WindowController::windowBecameKey, this, &AppDelegate::windowDidBecomeKey);
    connect(w, &WindowController::windowClosing, this, &AppDelegate::windowWillClose);
    connect(w, &WindowController::routerAddressCommitted, this, &AppDelegate::doSetUserDefinedIP);
    connect(w, &WindowController::limitUnitChosen, this, &AppDelegate::doLimitUnitsPopUp);
    connect(w, &WindowController::cycleStartDayChosen, this, &AppDelegate::setCycleStartDay);
    connect(w, &WindowController::countedTrafficChosen, this, &AppDelegate::setCountedTraffic);
    connect(w, &WindowController::freeWindowsChosen, this, &AppDelegate::setFreeWindows);
    connect(w, &WindowController::resetTotalsAsked, this, &AppDelegate::doResetTotalsNow);
    connect(w, &WindowController::restartAsked, this, &AppDelegate::doRestart);
    connect(w, &WindowController::consoleLogAsked, this, &AppDelegate::showConsoleLog);
    connect(w, &WindowController::quitAsked, this, &AppDelegate::quit);
    connect(w, &WindowController::statusText, this, &AppDelegate::doSetInfoText);
    awakeFromNib();
}

AppDelegate::~AppDelegate() {
    // Timers keep themselves alive and a worker uses the controller to its
    // end: neither may outlive it.
    if (timer) {
        timer->invalidate();
        timerWriteToDisk->invalidate();
    }
    runLoopUntilWorkerDone();
    windows.reset();
}

QWidget *AppDelegate::mainWindowWidget() const {
    return windows->mainWindowWidget();
}

QWidget *AppDelegate::prefsWindowWidget() const {
    return windows->prefsWindowWidget();
}

} // namespace flowtally
