// The views of the traffic history: the cycle chart of the main window and
// the History window, fed from the history opened for reading on the main
// thread.
#include "WindowController.h"

#include "BillingCycle.h"
#include "BringToFront.h"
#include "CycleChart.h"
#include "Environment.h"
#include "HistoryStore.h"
#include "HistoryWindow.h"
#include "NetworkRecord.h"
#include "SettingsKeys.h"
#include "UserDefaults.h"

namespace flowtally {

HistoryStore *WindowController::historyForReading() {
    if (!historyReader) {
        HistoryStore::Options options;
        options.readOnly = true;
        options.zone = Environment::current().timeZone();
        // Not there before the first write: asked again next time.
        if (!HistoryStore::open(HistoryStore::standardPath(), options, &historyReader).ok())
            historyReader.reset();
    }
    return historyReader.get();
}

void WindowController::refreshCycleChart() {
    const NetworkRecord &record = meter.record();
    if (!record.service || !cycleChart)
        return;
    Environment &environment = Environment::current();
    const QDateTime now = environment.now();
    const QTimeZone zone = environment.timeZone();
    const BillingCycle period =
        billingCycleAt(now, record.cycleStartDay, zone)
            .value_or(periodWithoutCycle(record.periodBegan() ? record.resetDate : now, now, zone));
    QList<HistoryBucket> days;
    // What the meter counted and the history holds, read together: the
    // difference is what the next write brings.
    MeteredTotals metered{record.periodStart(), record.totals(), {}};
    // The history may not be there yet: the chart shows no days then.
    HistoryStore *history = historyForReading();
    if (history && (!history->days(*record.service, period.start, period.end, &days).ok() ||
                    (metered.since.isValid() &&
                     !history->bytesSince(*record.service, metered.since, &metered.written).ok())))
        days.clear();
    cycleChart->setDays(period, days, record.limit, now, metered);
}

void WindowController::showHistoryWindow() {
    if (!historyWindow) {
        historyWindow = new HistoryWindow;
        historyWindow->setAttribute(Qt::WA_DeleteOnClose, false);
        track(historyWindow, SettingsKey::HistoryWindowGeometry);
        connect(historyWindow, &HistoryWindow::networkChosen, this, [this](const QString &network) {
            QList<HistoryBucket> days, months;
            const QDateTime from = QDateTime::fromSecsSinceEpoch(0, Qt::UTC);
            const QDateTime to = Environment::current().now().addDays(1);
            HistoryStore *history = historyForReading();
            if (history && (!history->days(network, from, to, &days).ok() ||
                            !history->months(network, from, to, &months).ok())) {
                days.clear();
                months.clear();
            }
            // The held network's cycle as it is now, another's as stored.
            const NetworkRecord record =
                meter.record().service == network
                    ? meter.record()
                    : NetworkRecord::fromMap(
                          UserDefaults::standardUserDefaults().objectForKey(network).toMap());
            historyWindow->showHistory(network, days, months, record.cycleStartDay);
        });
    }
    QList<HistoryNetwork> networks;
    HistoryStore *history = historyForReading();
    if (history && !history->networks(&networks).ok())
        networks.clear();
    historyWindow->setNetworks(networks);
    bringToFront(historyWindow);
}

} // namespace flowtally
