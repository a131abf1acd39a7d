// The views of the traffic history: the cycle chart of the main window and
// the History window, fed from the history opened for reading on the main
// thread.
#include "app/WindowController.h"

#include "history/BillingCycle.h"
#include "app/BringToFront.h"
#include "charts/CycleChart.h"
#include "platform/system/Environment.h"
#include "history/HistoryStore.h"
#include "charts/HistoryWindow.h"
#include "record/NetworkRecord.h"
#include "record/SettingsKeys.h"
#include "platform/system/UserDefaults.h"

namespace flowtally {

HistoryStore *WindowController::historyForReading() {
    if (!historyReader_) {
        HistoryStore::Options options;
        options.readOnly = true;
        options.zone = Environment::current().timeZone();
        // Not there before the first write: asked again next time.
        if (!HistoryStore::open(HistoryStore::standardPath(), options, &historyReader_).ok())
            historyReader_.reset();
    }
    return historyReader_.get();
}

void WindowController::refreshCycleChart() {
    const NetworkRecord &record = meter_.record();
    if (!record.service || !cycleChart_)
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
    cycleChart_->setDays(period, days, record.limit, now, metered);
}

void WindowController::showHistoryWindow() {
    if (!historyWindow_) {
        historyWindow_ = new HistoryWindow;
        historyWindow_->setAttribute(Qt::WA_DeleteOnClose, false);
        track(historyWindow_, SettingsKey::HistoryWindowGeometry);
        connect(historyWindow_, &HistoryWindow::networkChosen, this, [this](const QString &network) {
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
                meter_.record().service == network
                    ? meter_.record()
                    : NetworkRecord::fromMap(
                          UserDefaults::standardUserDefaults().objectForKey(network).toMap());
            historyWindow_->showHistory(network, days, months, record.cycleStartDay);
        });
    }
    QList<HistoryNetwork> networks;
    HistoryStore *history = historyForReading();
    if (history && !history->networks(&networks).ok())
        networks.clear();
    historyWindow_->setNetworks(networks);
    bringToFront(historyWindow_);
}

} // namespace flowtally
