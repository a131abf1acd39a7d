// The traffic history: every byte added to a network's totals goes to its
// hourly and daily rows, written behind the settings (HistoryWriter.h).
#include "app/AppDelegate.h"

#include "platform/system/Environment.h"
#include "history/HistoryStore.h"
#include "history/HistoryWriter.h"
#include "platform/system/NetworkManagerWatch.h"
#include "history/NetworkName.h"
#include "record/NetworkRecord.h"
#include "record/SettingsKeys.h"
#include "platform/loop/Threads.h"
#include "platform/system/UserDefaults.h"
#include "app/WindowController.h"

#include <QFileInfo>
#include <QPointer>

namespace flowtally {

namespace {

// The name a network is shown by in the history, its reports and the
// alerts: NetworkManager's for the connection that is the network, the
// router's for a router's counters, else the interface's.
QString networkNameOf(const TrafficSample &sample, const QString &service) {
    NetworkNaming naming;
    naming.interface = sample.value(SampleKey::PrimaryInterface).toString();
    const NetworkManagerWatch::Answer manager = NetworkManagerWatch::current();
    if (manager.uuid == service && manager.name)
        naming.connection = *manager.name;
    const CounterSource source = sourceOfSample(sample);
    if (source != CounterSource::Local && source != CounterSource::LocalInternet) {
        naming.routerName = sample.value(SampleKey::Router).toString();
        naming.routerAddress = sample.value(SampleKey::RouterAddress).toString();
    }
    return networkName(naming);
}

} // namespace

void AppDelegate::startHistory() {
    if (historyWriter_)
        return;
    historyWriter_ = std::make_shared<HistoryWriter>(HistoryStore::standardPath());
    const QPointer<WindowController> shown(windows_.get());
    historyWriter_->setWritten([shown] {
        performOnMainThread(
            [shown] {
                if (shown)
                    shown->refreshCycleChart();
            },
            false);
    });
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    // Bytes a record holds and the history lacks (Flowtally ended between
    // the two writes) are put at the time the settings were last written.
    const QDateTime written = QFileInfo(defaults.path()).lastModified().toUTC();
    const QDateTime at = written.isValid() ? written : Environment::current().now();
    for (const QString &key : defaults.keys()) {
        const QVariantMap entries = defaults.objectForKey(key).toMap();
        const NetworkRecord record = NetworkRecord::fromMap(entries);
        if (!entries.contains(RecordKey::PrimaryService) || !record.periodBegan())
            continue;
        // The part counted in free hours as the record holds it, too.
        historyWriter_->reconcile(key, record.periodStart(), record.totalIn, record.totalOut, at,
                                 record.freeTotals());
    }
    historyWriter_->stage(defaults.generation());
    std::weak_ptr<HistoryWriter> writer = historyWriter_;
    defaults.setWrittenHook([writer](quint64 generation) {
        if (const std::shared_ptr<HistoryWriter> alive = writer.lock())
            alive->settingsWritten(generation);
    });
    // The reconciliation follows the settings as they are on disk.
    defaults.callWrittenHookSoon();
}

void AppDelegate::recordHistory(const Meter::Figures &figures, const TrafficSample &sample) {
    if (!historyWriter_ || !meter_.record().service)
        return;
    // The cycle chart follows the totals between the history's writes.
    windows_->refreshCycleChart();
    const CounterGrowth &growth = figures.growth;
    // Bytes of another network went to its history with its record.
    if (growth.network.isEmpty() && (growth.in != 0 || growth.out != 0))
        historyWriter_->add({*meter_.record().service, sample.value(SampleKey::FireDate).toDateTime(),
                            growth.in, growth.out, meter_.record().resetDate, figures.free.in,
                            figures.free.out, figures.applications});
    const QString name = networkNameOf(sample, *meter_.record().service);
    if (!name.isEmpty() && name != historyName_) {
        historyWriter_->name(*meter_.record().service, name);
        historyName_ = name;
    }
}

} // namespace flowtally
