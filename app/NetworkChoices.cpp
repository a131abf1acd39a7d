// The held network's own choices, made in the preferences: what this
// computer's samples count of its traffic, and its free hours.
#include "AppDelegate.h"

#include "HistoryWriter.h"
#include "Threads.h"
#include "WindowController.h"

#include <QPointer>

namespace flowtally {

void AppDelegate::setCountedTraffic(CountedTraffic counted) {
    if (!meter.record().service)
        return;
    // The next tick's sample counts it (WorkCycle.cpp).
    meter.record().countedTraffic = counted;
    storeRecordNow();
}

void AppDelegate::setFreeWindows(const FreeWindows &windows) {
    if (!meter.record().service)
        return;
    meter.record().freeWindows = windows;
    // The period's traffic read anew with the new windows, written with the
    // record that holds them; the free totals take what that moved, on the
    // main thread, while the network is held.
    if (historyWriter && meter.record().periodBegan())
        reapplyFreeHours();
    storeRecordNow();
}

void AppDelegate::reapplyFreeHours() {
    const QString service = *meter.record().service;
    const QPointer<AppDelegate> self(this);
    historyWriter->reapplyFreeHours(
        service, meter.record().periodStart(), meter.record().freeWindows,
        [self, service](const Status &status, const FreeHoursChange &change) {
            performOnMainThread(
                [self, service, status, change] {
                    if (!status.ok()) {
                        doSetInfoText(status.message());
                        return;
                    }
                    if (!self || self->meter.record().service != service)
                        return;
                    self->meter.record().takeFreeHoursChange(change);
                    self->storeRecordNow();
                    self->windows->refreshCycleChart();
                },
                false);
        });
}

} // namespace flowtally
