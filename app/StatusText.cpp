// The status line: texts from any thread, shown time-stamped on the main
// thread when its loop is idle.
#include "app/AppDelegate.h"

#include "platform/loop/IdleNotificationQueue.h"
#include "platform/process/LogViewer.h"
#include "app/LogWindow.h"
#include "platform/loop/Threads.h"
#include "app/WindowController.h"

namespace flowtally {

const QString AppDelegate::kInfoTextNotificationName = QStringLiteral("InfoTextNotificationName");

void AppDelegate::doSetInfoText(const QString &text) {
    performOnMainThread([text] { _doSetInfoText(text); }, false);
}

void AppDelegate::_doSetInfoText(const QString &text) {
    IdleNotificationQueue::defaultQueue().enqueue(kInfoTextNotificationName, text);
}

void AppDelegate::handleSetInfoText(const QString &text) {
    if (!terminating)
        windows_->showInfoText(text);
}

void AppDelegate::showConsoleLog() {
    // The person asked for a window: without a viewer, Flowtally's own.
    if (!launchLogViewer().ok())
        LogWindow::showWindow();
}

} // namespace flowtally
