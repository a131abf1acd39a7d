// Billing cycles: a network's totals begin anew on the cycle's first day
// (the main window shows the cycle: MainWindowFigures.cpp, HistoryViews.cpp).
#include "app/AppDelegate.h"

#include "history/BillingCycle.h"
#include "platform/system/Environment.h"
#include "platform/system/SystemLog.h"
#include "app/WindowController.h"

namespace flowtally {

void AppDelegate::setCycleStartDay(int day) {
    meter_.record().cycleStartDay = qBound(0, day, 31);
    storeRecordNow();
    windows_->refreshCycleChart();
}

void AppDelegate::resetForNewCycle() {
    if (!meter_.record().service || meter_.record().cycleStartDay == 0)
        return;
    Environment &environment = Environment::current();
    const QDateTime now = environment.now();
    // A clock that was ahead made a reset before its time.
    if (meter_.record().cycleResetFor.isValid() && now < meter_.record().cycleResetFor)
        undoCycleResetOfClockAhead();
    if (!meter_.record().periodBegan())
        return;
    const std::optional<BillingCycle> cycle =
        billingCycleAt(now, meter_.record().cycleStartDay, environment.timeZone());
    // Once per cycle: a reset that was undone stays undone.
    if (!cycle || meter_.record().cycleResetFor == cycle->start ||
        !resetDue(meter_.record().resetDate, now, meter_.record().cycleStartDay,
                  environment.timeZone()))
        return;
    systemLog(QStringLiteral("A new billing cycle of %1 began: its totals start again from zero.")
                  .arg(historyName_.isEmpty() ? *meter_.record().service : historyName_));
    resetTotalsForCycle(cycle->start);
    windows_->refreshCycleChart();
}

} // namespace flowtally
