// The traffic history: every byte added to a network's totals goes to its
// hourly and daily rows, written behind the settings (HistoryWriter.h).
#include "AppDelegate.h"

#include "Environment.h"
#include "HistoryStore.h"
#include "HistoryWriter.h"
#include "NetworkRecord.h"
#include "SettingsKeys.h"
#include "Threads.h"
#include "UserDefaults.h"
#include "WindowController.h"

#include <QFileInfo>
#include <QPointer>

namespace flowtally {

namespace {

// The name a network is shown by in the history and its reports: the
// router's name for a router's counters, else the interface's.
QString networkNameOf(const TrafficSample &sample) {
    if (sourceOfSample(sample) == CounterSource::Local)
        return sample.value(SampleKey::PrimaryInterface).toString();
    return sample.value(SampleKey::Router).toString().trimmed();
}

} // namespace

void AppDelegate::startHistory() {
    if (historyWriter)
        return;
    historyWriter = std::make_shared<HistoryWriter>(HistoryStore::standardPath());
    const QPointer<WindowController> shown(windows.get());
    historyWriter->setWritten([shown] {
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
        historyWriter->reconcile(key, record.periodStart(), record.totalIn, record.totalOut, at,
                                 record.freeTotals());
    }
    historyWriter->stage(defaults.generation());
    std::weak_ptr<HistoryWriter> writer = historyWriter;
    defaults.setWrittenHook([writer](quint64 generation) {
        if (const std::shared_ptr<HistoryWriter> alive = writer.lock())
            alive->settingsWritten(generation);
    });
    // The reconciliation follows the settings as they are on disk.
    defaults.callWrittenHookSoon();
}

void AppDelegate::recordHistory(const Meter::Figures &figures, const TrafficSample &sample) {
    if (!historyWriter || !meter.record().service)
        return;
    // The cycle chart follows the totals between the history's writes.
    windows->refreshCycleChart();
    const CounterGrowth &growth = figures.growth;
    if (growth.in != 0 || growth.out != 0)
        historyWriter->add({*meter.record().service, sample.value(SampleKey::FireDate).toDateTime(),
                            growth.in, growth.out, meter.record().resetDate, figures.free.in,
                            figures.free.out});
    const QString name = networkNameOf(sample);
    if (!name.isEmpty() && name != historyName) {
        historyWriter->name(*meter.record().service, name);
        historyName = name;
    }
}

} // namespace flowtally
