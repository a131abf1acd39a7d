// Alerts before the cap bites: desktop notifications when a network's
// used share of the limit crosses the warning level and the limit, and when
// the projection first exceeds it; each once per network and period. What
// is used is what the plan holds against the limit: the bytes counted
// outside the network's free hours. Where the period heads past the limit on
// a connection that is not metered, the alerts and the main window offer to
// mark it metered.
#include "app/AppDelegate.h"

#include "alerts/AlertRules.h"
#include "alerts/AlertText.h"
#include "alerts/DesktopNotifier.h"
#include "platform/system/Environment.h"
#include "platform/system/MeteredConnection.h"
#include "record/NetworkFigures.h"
#include "record/SettingsKeys.h"
#include "platform/system/UserDefaults.h"
#include "app/WindowController.h"

namespace flowtally {

namespace {

// The share of the limit at which to warn: the preference, 80 % without one,
// none for 0.
AlertLevels alertLevels() {
    const QVariant setting =
        UserDefaults::standardUserDefaults().objectForKey(SettingsKey::WarnAtPercent);
    AlertLevels levels;
    if (setting.isValid())
        levels.warnAtPercent =
            setting.toDouble() > 0 ? std::optional(setting.toDouble()) : std::nullopt;
    return levels;
}

} // namespace

AlertFigures AppDelegate::alertFigures() const {
    Environment &environment = Environment::current();
    const NetworkRecord &record = meter_.record();
    AlertFigures figures;
    figures.network = historyName_.isEmpty() ? tr("This network") : historyName_;
    figures.limit = record.limit;
    figures.periodStart = record.resetDate;
    figures.now = environment.now();
    figures.zone = environment.timeZone();
    const NetworkFigures billed = figuresOf(record, figures.now, figures.zone);
    figures.used = double(billed.billed);
    if (billed.cycle) {
        figures.cycle = billed.cycle->cycle;
        figures.projection = billed.cycle->projectedBilled.value_or(0);
    } else {
        const double sinceReset = double(figures.periodStart.msecsTo(figures.now)) / 1000.0;
        figures.projection = thirtyDayProjection(figures.used, sinceReset);
    }
    figures.metered = meteredConnection_->isMetered();
    return figures;
}

void AppDelegate::checkAlerts() {
    if (!meter_.record().service)
        return;
    const NetworkRecord &record = meter_.record();
    const AlertFigures figures = alertFigures();
    windows_->showMetered(figures.metered, offersToMarkMetered(figures));
    AlertLevels levels = alertLevels();
    levels.onlyOnMetered = record.alertOnlyOnMetered;
    const AlertDecision decision =
        decideAlerts(figures, levels, AlertState::fromMap(record.limitAlerts));
    meter_.record().limitAlerts = decision.state.toMap();
    for (const AlertKind kind : decision.alerts)
        notifier_->send(alertText(kind, figures));
    // What was told goes to the file at once: a crash must not tell it again.
    if (!decision.alerts.empty())
        storeRecordNow();
}

void AppDelegate::showMetered() {
    if (!meter_.record().service) {
        windows_->showMetered(meteredConnection_->isMetered(), false);
        return;
    }
    const AlertFigures figures = alertFigures();
    windows_->showMetered(figures.metered, offersToMarkMetered(figures));
}

void AppDelegate::markConnectionMetered() {
    meteredConnection_->markMetered([](const Status &status) {
        if (!status.ok())
            doSetInfoText(status.message());
    });
}

} // namespace flowtally
