// The held network's own choices, made in the preferences: what this
// computer's samples count of its traffic, and its free hours.
#include "app/AppDelegate.h"

#include "history/HistoryWriter.h"
#include "platform/loop/Threads.h"
#include "app/WindowController.h"

#include <QPointer>

namespace flowtally {

void AppDelegate::setCountedTraffic(CountedTraffic counted) {
    if (!meter_.record().service)
        return;
    // The next tick's sample counts it (WorkCycle.cpp).
    meter_.record().countedTraffic = counted;
    storeRecordNow();
}

void AppDelegate::setFreeWindows(const FreeWindows &windows) {
    if (!meter_.record().service)
        return;
    meter_.record().freeWindows = windows;
    // The period's traffic read anew with the new windows, written with the
    // record that holds them; the free totals take what that moved, on the
    // main thread, while the network is held.
    if (historyWriter_ && meter_.record().periodBegan())
        reapplyFreeHours();
    storeRecordNow();
}

void AppDelegate::reapplyFreeHours() {
    const QString service = *meter_.record().service;
    const QPointer<AppDelegate> self(this);
    historyWriter_->reapplyFreeHours(
        service, meter_.record().periodStart(), meter_.record().freeWindows,
        [self, service](const Status &status, const FreeHoursChange &change) {
            performOnMainThread(
                [self, service, status, change] {
                    if (!status.ok()) {
                        doSetInfoText(status.message());
                        return;
                    }
                    if (!self || self->meter_.record().service != service)
                        return;
                    self->meter_.record().takeFreeHoursChange(change);
                    self->storeRecordNow();
                    self->windows_->refreshCycleChart();
                },
                false);
        });
}

} // namespace flowtally
