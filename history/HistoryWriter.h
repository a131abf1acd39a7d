#pragma once

#include "history/HistoryEntry.h"
#include "history/HistoryStore.h"

#include <QDateTime>
#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace flowtally {

// Writes the traffic history behind the settings: the bytes counted between
// two stores of the records are written after the settings file holds those
// records, on the thread that wrote the file, in one transaction. So the
// history never holds bytes the settings lack; what a crash leaves it
// short of, reconcile() brings back at the next start (the settings'
// totals are the measure).
//
// The controller adds and stages on its thread; the settings' writer calls
// settingsWritten() on its own. Thread-safe.
class HistoryWriter {
  public:
    // The history at `path`, opened on the first write.
    explicit HistoryWriter(QString path, HistoryStore::Options options = HistoryStore::Options());
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter &) = delete;
    HistoryWriter &operator=(const HistoryWriter &) = delete;

    // Brings a network's history in line with its record in the settings:
    // its bytes since the period start are the record's totals, missing
    // ones added at `at`, and with `free` the part of them counted in free
    // hours is the record's free totals (HistoryStore::reconcile). Done
    // before the entries added after it.
    void reconcile(const QString &network, const QDateTime &periodStart, quint64 totalIn,
                   quint64 totalOut, const QDateTime &at,
                   const std::optional<TrafficTotals> &free = std::nullopt);
    // Reads a network's traffic since `from` (its period start) anew with
    // other free hours, once every entry added before this call is written,
    // and before those added after it (HistoryStore::reapplyFreeHours).
    // `done` is called on the writing thread with what it changed, which the
    // record's free totals then take (NetworkRecord::takeFreeHoursChange);
    // with a failure and no change when it could not be done. It is written
    // with the settings of the next stage() like the entries.
    using FreeHoursDone = std::function<void(const Status &, const FreeHoursChange &)>;
    void reapplyFreeHours(const QString &network, const QDateTime &from, const FreeWindows &windows,
                          FreeHoursDone done);
    // Bytes counted for a network, and the name a report shows for it.
    void add(const HistoryEntry &entry);
    void name(const QString &network, const QString &name);
    // What was added so far belongs to the settings as of this generation of
    // the settings store: it is written once a write of the file holds it.
    void stage(quint64 settingsGeneration);
    // The settings file holds this generation: writes what it covers. Called
    // by the settings' writer, on its thread.
    void settingsWritten(quint64 generation);

    // Called on the writing thread after bytes reached the history.
    void setWritten(std::function<void()> written);

  private:
    struct Reconcile {
        QString network;
        QDateTime periodStart;
        quint64 totalIn = 0, totalOut = 0;
        QDateTime at;
        std::optional<TrafficTotals> free;
    };
    // A reading anew with other free hours, after the batch's first
    // `afterEntries` entries.
    struct Reapply {
        QString network;
        QDateTime from;
        FreeWindows windows;
        FreeHoursDone done;
        size_t afterEntries = 0;
    };
    // What goes to the history after one store of the records. Parts that
    // were written are taken out, so that a failure retries only the rest.
    struct Batch {
        quint64 generation = 0;
        std::vector<Reconcile> reconciles;
        std::vector<HistoryEntry> entries;
        std::vector<Reapply> reapplies;
        QHash<QString, QString> names;
        bool isEmpty() const {
            return reconciles.empty() && entries.empty() && reapplies.empty() && names.isEmpty();
        }
    };
    Status write(Batch &batch);
    // Adds the batch's first `count` entries and takes them out of it.
    Status addEntries(Batch &batch, size_t count);

    const QString path_;
    const HistoryStore::Options options_;
    std::mutex mutex_;
    Batch open_;
    std::vector<Batch> staged_;
    std::function<void()> written_;
    // Used on the writing thread only.
    std::unique_ptr<HistoryStore> store_;
    bool failing_ = false;
    QDate pruned_;
};

} // namespace flowtally
