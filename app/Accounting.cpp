// Accounting: the meter makes a sample's counters into rates, totals since
// the reset date and the thirty-day projection; the figures go to the
// windows, the history and the alerts.
#include "app/AppDelegate.h"

#include "platform/system/Environment.h"
#include "history/HistoryWriter.h"
#include "record/SettingsKeys.h"
#include "platform/system/SystemLog.h"
#include "platform/loop/Timer.h"
#include "platform/system/UserDefaults.h"
#include "app/WindowController.h"

#include <QGuiApplication>

namespace flowtally {

namespace {

bool isApplicationActive() {
    return QGuiApplication::applicationState() == Qt::ApplicationActive;
}

// Adds bytes to the stored totals and history of a network that is not the
// one metered now.
void creditNetwork(HistoryWriter *history, const QString &service, const CounterGrowth &growth,
                   const QDateTime &at) {
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    QVariantMap record = defaults.objectForKey(service).toMap();
    if ((growth.in == 0 && growth.out == 0) || record.isEmpty())
        return;
    record.insert(RecordKey::totalInBytes,
                  record.value(RecordKey::totalInBytes).toULongLong() + growth.in);
    record.insert(RecordKey::totalOutBytes,
                  record.value(RecordKey::totalOutBytes).toULongLong() + growth.out);
    defaults.setObject(service, record);
    if (history)
        history->add(
            {service, at, growth.in, growth.out, record.value(RecordKey::resetDate).toDateTime()});
    systemLog(QStringLiteral("%1 received and %2 sent bytes, moved before the counters were read "
                             "for this network, go to the network %3 that read them last.")
                  .arg(growth.in)
                  .arg(growth.out)
                  .arg(service));
}

} // namespace

void AppDelegate::processStatsDict(const std::optional<TrafficSample> &sample) {
    if (sample) {
        const std::optional<Meter::Figures> figures = meter_.take(
            *sample, primaryServiceUUID(), windows_->limitNumber(), Environment::current().now());
        if (figures) {
            for (const QString &line : figures->growth.refused)
                systemLog(line);
            const QDateTime date = sample->value(SampleKey::FireDate).toDateTime();
            if (!figures->growth.network.isEmpty())
                creditNetwork(historyWriter_.get(), figures->growth.network, figures->growth, date);
            windows_->showFigures(*sample, *figures);
            recordHistory(*figures, *sample);
            windows_->showCycle(*figures, date);
            checkAlerts();
        }
    }
    if (timer)
        timer->setFireDateFromNow(isApplicationActive() ? kFrontInterval : kBackInterval);
}

} // namespace flowtally
