// The status line: texts from any thread, shown time-stamped on the main
// thread when its loop is idle.
#include "AppDelegate.h"

#include "Environment.h"
#include "FormattedField.h"
#include "IdleNotificationQueue.h"
#include "LogViewer.h"
#include "Threads.h"

#include <QDateTime>
#include <QLabel>
#include <QLineEdit>

namespace flowtally {

namespace {

const QString routerToolTipText = QStringLiteral(
    "\"%1\"\nName of the router, if available, or name of your computer if there is no router.");
const QString IPToolTipText =
    QStringLiteral("\"%1\"\nLocal IP Address of the router (\"Airport\") that connects you to the "
                   "Internet, or your computer's IP address.");

} // namespace

const QString AppDelegate::kInfoTextNotificationName = QStringLiteral("InfoTextNotificationName");

void AppDelegate::doSetInfoText(const QString &text) {
    performOnMainThread([text] { _doSetInfoText(text); }, false);
}

void AppDelegate::_doSetInfoText(const QString &text) {
    IdleNotificationQueue::defaultQueue().enqueue(kInfoTextNotificationName, text);
}

void AppDelegate::handleSetInfoText(const QString &text) {
    if (terminating)
        return;
    const QString stamp =
        Environment::current().now().toLocalTime().time().toString(QStringLiteral("HH:mm:ss.zzz"));
    const QString line = stamp + QLatin1Char('\n') + text;
    infoText->setText(line);
    infoText->setToolTip(line);
    airportIP->setToolTip(IPToolTipText.arg(airportIP->text()));
    airportName->setToolTip(routerToolTipText.arg(airportName->text()));
}

void AppDelegate::showConsoleLog() {
    // The person asked for a window: say why none comes (the log has it too).
    if (const Status launched = launchLogViewer(); !launched.ok())
        doSetInfoText(launched.message());
}

} // namespace flowtally
