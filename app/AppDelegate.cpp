// The controller's making and ending, and what the windows tell it: each
// action of the person goes to the operation of its name.
#include "app/AppDelegate.h"

#include "alerts/DesktopNotifier.h"
#include "platform/system/MeteredConnection.h"
#include "platform/system/NetworkManagerWatch.h"
#include "platform/system/SleepMonitor.h"
#include "platform/loop/Timer.h"
#include "app/WindowController.h"

#include <QWidget>

namespace flowtally {

AppDelegate::AppDelegate()
    : networkManager_(std::make_unique<NetworkManagerWatch>()),
      meteredConnection_(std::make_unique<MeteredConnection>()),
      notifier_(std::make_unique<DesktopNotifier>()) {
    // An alert no desktop shows goes to the status line.
    connect(notifier_.get(), &DesktopNotifier::notShown, this, &AppDelegate::doSetInfoText);
    initialize();
    windows_ = std::make_unique<WindowController>(meter_);
    WindowController *w = windows_.get();
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
    connect(w, &WindowController::markMeteredAsked, this, &AppDelegate::markConnectionMetered);
    connect(notifier_.get(), &DesktopNotifier::offerTaken, this,
            &AppDelegate::markConnectionMetered);
    connect(meteredConnection_.get(), &MeteredConnection::meteredChanged, this,
            &AppDelegate::showMetered);
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
    windows_.reset();
}

QWidget *AppDelegate::mainWindowWidget() const {
    return windows_->mainWindowWidget();
}

QWidget *AppDelegate::prefsWindowWidget() const {
    return windows_->prefsWindowWidget();
}

} // namespace flowtally
