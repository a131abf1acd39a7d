// Billing cycles: a network's totals begin anew on the cycle's first day,
// and the main window shows the projection to the cycle's end, the days
// left, and the cycle's days as a chart beside the rates of the last
// minutes.
#include "AppDelegate.h"

#include "BillingCycle.h"
#include "CycleChart.h"
#include "CycleDays.h"
#include "DistantPast.h"
#include "Environment.h"
#include "HistoryStore.h"
#include "RatesChart.h"
#include "SystemLog.h"
#include "WBBKMGTFormatter.h"

#include <QLabel>
#include <QLocale>

namespace flowtally {

namespace {

bool periodBegan(const QDateTime &resetDate) {
    return resetDate.isValid() && resetDate != distantPast();
}

} // namespace

void AppDelegate::setCycleStartDay(int day) {
    meter.record().cycleStartDay = qBound(0, day, 31);
    storeRecordNow();
    refreshCycleChart();
}

void AppDelegate::resetForNewCycle() {
    if (!meter.record().service || meter.record().cycleStartDay == 0)
        return;
    Environment &environment = Environment::current();
    const QDateTime now = environment.now();
    // A clock that was ahead made a reset before its time.
    if (meter.record().cycleResetFor.isValid() && now < meter.record().cycleResetFor)
        undoCycleResetOfClockAhead();
    if (!periodBegan(meter.record().resetDate))
        return;
    const std::optional<BillingCycle> cycle =
        billingCycleAt(now, meter.record().cycleStartDay, environment.timeZone());
    // Once per cycle: a reset that was undone stays undone.
    if (!cycle || meter.record().cycleResetFor == cycle->start ||
        !resetDue(meter.record().resetDate, now, meter.record().cycleStartDay,
                  environment.timeZone()))
        return;
    systemLog(QStringLiteral("A new billing cycle of %1 began: its totals start again from zero.")
                  .arg(historyName.isEmpty() ? *meter.record().service : historyName));
    resetTotalsForCycle(cycle->start);
    refreshCycleChart();
}

void AppDelegate::showCycle(double inRateValue, double outRateValue, const QDateTime &at) {
    Environment &environment = Environment::current();
    const QDateTime now = environment.now();
    const std::optional<BillingCycle> cycle =
        billingCycleAt(now, meter.record().cycleStartDay, environment.timeZone());
    cycleText->setVisible(cycle.has_value());
    cycleTextLabel->setVisible(cycle.has_value());
    if (cycle) {
        const double projected = projectedTotal(double(meter.totalBytes()), *cycle, now);
        const QDate lastDay = cycle->end.toTimeZone(environment.timeZone()).date().addDays(-1);
        cycleText->setText(tr("%1 by %2 · %n day(s) left", nullptr, daysLeft(*cycle, now))
                               .arg(WBBKMGTFormatter::stringForObjectValue(projected, 2),
                                    QLocale().toString(lastDay, QStringLiteral("d MMM"))));
    }
    // Rates in bytes per second, for the last minutes.
    rates.append({at, inRateValue * 1024.0, outRateValue * 1024.0});
    while (!rates.isEmpty() && rates.constFirst().at.secsTo(now) > kRatesSpan.count())
        rates.removeFirst();
    ratesChart->setRates(rates, now);
}

void AppDelegate::refreshCycleChart() {
    if (!meter.record().service || !cycleChart)
        return;
    Environment &environment = Environment::current();
    const QDateTime now = environment.now();
    const QTimeZone zone = environment.timeZone();
    const BillingCycle period =
        billingCycleAt(now, meter.record().cycleStartDay, zone)
            .value_or(periodWithoutCycle(
                periodBegan(meter.record().resetDate) ? meter.record().resetDate : now, now, zone));
    QList<HistoryBucket> days;
    // The history may not be there yet: the chart shows no days then.
    HistoryStore *history = historyForReading();
    if (history && !history->days(*meter.record().service, period.start, period.end, &days).ok())
        days.clear();
    cycleChart->setDays(period, days, meter.record().limit, now);
}

} // namespace flowtally
