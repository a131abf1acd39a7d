#pragma once

#include "alerts/AlertText.h"

#include <QDBusConnection>
#include <QObject>
#include <QSet>
#include <QString>

#include <chrono>

namespace flowtally {

// Shows alerts as desktop notifications through the notification service of
// the freedesktop Desktop Notifications standard: org.freedesktop.Notifications
// on the environment's session bus, asked afresh for every alert. Sending
// never blocks; the service's answers come through the event loop.
//
// An alert that no service shows — no session bus, no service on it, an
// error reply, or no answer within the timeout — comes back through
// notShown() with its status line, for the controller's status line. The
// first such failure after a success (or after the start) also writes one
// log line; the ones after it until the next success write none.
//
// An alert's offer (AlertText::offer) becomes the notification's one action
// where the service shows actions; the person taking it, which the service
// tells by its ActionInvoked signal, comes back through offerTaken(), once
// per notification.
//
// Lives on the main thread.
class DesktopNotifier : public QObject {
    Q_OBJECT

  public:
    // `answerTimeout` bounds each call to the service (a service that D-Bus
    // starts on demand may take a few seconds).
    explicit DesktopNotifier(std::chrono::milliseconds answerTimeout = std::chrono::seconds(10),
                             QObject *parent = nullptr);

    // Asks the service what it can show, then has it show the alert: the
    // summary and the body (as markup, escaped, where the service reads the
    // body as markup), the app name "Flowtally", the icon and desktop entry
    // "flowtally", urgency normal or critical, the offer as the one action
    // (key "offer") where the service lists the capability "actions" and
    // none otherwise, replacing no earlier notification, and shown for as
    // long as the service chooses.
    // Returns at once; shown() or notShown() follows.
    void send(const AlertText &alert);

  signals:
    // The service took the alert.
    void shown();
    // No service showed the alert; `statusLine` is AlertText::statusLine().
    void notShown(const QString &statusLine);
    // The person took the offer of an alert that this notifier sent.
    void offerTaken();

  private slots:
    void actionInvoked(uint id, const QString &actionKey);

  private:
    void notify(QDBusConnection bus, const AlertText &alert, const QStringList &capabilities);
    void succeeded();
    void failed(const AlertText &alert, const QString &reason);

    int timeoutMs_;
    bool failing_ = false;
    // The notifications shown with an offer not taken yet.
    QSet<uint> offered_;
};

} // namespace flowtally
