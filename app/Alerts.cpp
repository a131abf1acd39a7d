// Alerts before the cap bites: desktop notifications when a network's
// used share of the limit crosses the warning level and the limit, and when
// the projection first exceeds it; each once per network and period.
#include "AppDelegate.h"

#include "AlertRules.h"
#include "AlertText.h"
#include "DesktopNotifier.h"
#include "Environment.h"
#include "MeteredConnection.h"
#include "SettingsKeys.h"
#include "UserDefaults.h"

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

void AppDelegate::checkAlerts() {
    if (!meter.record().service)
        return;
    Environment &environment = Environment::current();
    AlertFigures figures;
    figures.network = historyName.isEmpty() ? tr("This network") : historyName;
    figures.used = double(meter.totalBytes());
    figures.limit = meter.record().limit;
    figures.periodStart = meter.record().resetDate;
    figures.now = environment.now();
    figures.zone = environment.timeZone();
    figures.cycle = billingCycleAt(figures.now, meter.record().cycleStartDay, figures.zone);
    figures.projection = figures.cycle ? projectedTotal(figures.used, *figures.cycle, figures.now)
                                       : meter.projection();
    figures.metered = meteredConnection->isMetered();
    AlertLevels levels = alertLevels();
    levels.onlyOnMetered = meter.record().alertOnlyOnMetered;
    const AlertDecision decision =
        decideAlerts(figures, levels, AlertState::fromMap(meter.record().limitAlerts));
    meter.record().limitAlerts = decision.state.toMap();
    for (const AlertKind kind : decision.alerts)
        notifier->send(alertText(kind, figures));
    // What was told goes to the file at once: a crash must not tell it again.
    if (!decision.alerts.empty())
        storeRecordNow();
}

} // namespace flowtally
