// Billing cycles: a network's totals begin anew on the cycle's first day
// (the main window shows the cycle: MainWindowFigures.cpp, HistoryViews.cpp).
#include "AppDelegate.h"

#include "BillingCycle.h"
#include "Environment.h"
#include "SystemLog.h"
#include "WindowController.h"

namespace flowtally {

void AppDelegate::setCycleStartDay(int day) {
    meter.record().cycleStartDay = qBound(0, day, 31);
    storeRecordNow();
    windows->refreshCycleChart();
}

void AppDelegate::resetForNewCycle() {
    if (!meter.record().service || meter.record().cycleStartDay == 0)
        return;
    Environment &environment = Environment::current();
    const QDateTime now = environment.now();
    // A clock that was ahead made a reset before its time.
    if (meter.record().cycleResetFor.isValid() && now < meter.record().cycleResetFor)
        undoCycleResetOfClockAhead();
    if (!meter.record().periodBegan())
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
    windows->refreshCycleChart();
}

} // namespace flowtally
