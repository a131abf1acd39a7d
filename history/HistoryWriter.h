#pragma once

#include "HistoryEntry.h"
#include "HistoryStore.h"

#include <QDateTime>
#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
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
    // ones added at `at`. Done before the entries added after it.
    void reconcile(const QString &network, const QDateTime &periodStart, quint64 totalIn,
                   quint64 totalOut, const QDateTime &at);
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
    };
    // What goes to the history after one store of the records. Parts that
    // were written are taken out, so that a failure retries only the rest.
    struct Batch {
        quint64 generation = 0;
        std::vector<Reconcile> reconciles;
        std::vector<HistoryEntry> entries;
        QHash<QString, QString> names;
        bool isEmpty() const { return reconciles.empty() && entries.empty() && names.isEmpty(); }
    };
    Status write(Batch &batch);

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
