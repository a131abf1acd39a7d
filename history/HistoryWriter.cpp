#include "history/HistoryWriter.h"

#include "platform/system/Environment.h"
#include "platform/system/SystemLog.h"

#include <algorithm>
#include <iterator>

namespace flowtally {

HistoryWriter::HistoryWriter(QString path, HistoryStore::Options options)
    : path_(std::move(path)), options_(std::move(options)) {}

HistoryWriter::~HistoryWriter() = default;

void HistoryWriter::reconcile(const QString &network, const QDateTime &periodStart, quint64 totalIn,
                              quint64 totalOut, const QDateTime &at,
                              const std::optional<TrafficTotals> &free) {
    std::lock_guard lock(mutex_);
    open_.reconciles.push_back({network, periodStart, totalIn, totalOut, at, free});
}

void HistoryWriter::reapplyFreeHours(const QString &network, const QDateTime &from,
                                     const FreeWindows &windows, FreeHoursDone done) {
    std::lock_guard lock(mutex_);
    open_.reapplies.push_back({network, from, windows, std::move(done), open_.entries.size()});
}

void HistoryWriter::add(const HistoryEntry &entry) {
    std::lock_guard lock(mutex_);
    open_.entries.push_back(entry);
}

void HistoryWriter::name(const QString &network, const QString &name) {
    std::lock_guard lock(mutex_);
    open_.names.insert(network, name);
}

void HistoryWriter::stage(quint64 settingsGeneration) {
    std::lock_guard lock(mutex_);
    if (open_.isEmpty())
        return;
    open_.generation = settingsGeneration;
    staged_.push_back(std::move(open_));
    open_ = Batch();
}

void HistoryWriter::setWritten(std::function<void()> written) {
    std::lock_guard lock(mutex_);
    written_ = std::move(written);
}

void HistoryWriter::settingsWritten(quint64 generation) {
    std::vector<Batch> due;
    std::function<void()> written;
    {
        std::lock_guard lock(mutex_);
        auto firstLater = std::find_if(staged_.begin(), staged_.end(), [&](const Batch &batch) {
            return batch.generation > generation;
        });
        due.assign(std::make_move_iterator(staged_.begin()), std::make_move_iterator(firstLater));
        staged_.erase(staged_.begin(), firstLater);
        written = written_;
    }
    if (due.empty())
        return;
    size_t done = 0;
    for (; done < due.size(); ++done) {
        const Status status = write(due[done]);
        // One line when writing starts failing and one when it works again.
        if (!status.ok() && !failing_)
            systemLog(QStringLiteral("The traffic history could not be written to %1 (%2); it "
                                     "is kept in memory and written when that works again.")
                          .arg(path_, status.message()));
        else if (status.ok() && failing_)
            systemLog(QStringLiteral("The traffic history is written to %1 again.").arg(path_));
        failing_ = !status.ok();
        if (!status.ok())
            break;
    }
    if (done < due.size()) {
        // Tried again at the next write of the settings, before anything newer.
        std::lock_guard lock(mutex_);
        staged_.insert(staged_.begin(), std::make_move_iterator(due.begin() + qsizetype(done)),
                       std::make_move_iterator(due.end()));
    }
    if (done > 0 && written)
        written();
}

Status HistoryWriter::write(Batch &batch) {
    if (!store_) {
        const Status opened = HistoryStore::open(path_, options_, &store_);
        if (!opened.ok())
            return opened;
    }
    // Old rows go once a day, by the clock but never by a time later than a
    // network was last seen before this write: a clock far ahead for one
    // write, while Flowtally runs or at its start, would else delete the
    // history it comes back to.
    const QDateTime now = Environment::current().now();
    if (pruned_ != now.date()) {
        QList<HistoryNetwork> networks; // the most recently seen first
        if (const Status read = store_->networks(&networks); !read.ok())
            return read;
        const QDateTime newest = networks.isEmpty() ? QDateTime() : networks.front().lastSeen;
        if (const Status pruned = store_->prune(newest.isValid() ? std::min(now, newest) : now);
            !pruned.ok())
            return pruned;
        pruned_ = now.date();
    }
    // The history is brought in line with the settings before anything is
    // added to it.
    while (!batch.reconciles.empty()) {
        const Reconcile &r = batch.reconciles.front();
        if (const Status status =
                store_->reconcile(r.network, r.periodStart, r.totalIn, r.totalOut, r.at, r.free);
            !status.ok())
            return status;
        batch.reconciles.erase(batch.reconciles.begin());
    }
    // The entries counted before a reading anew go into it; all the bytes
    // of one store of the records otherwise in one transaction.
    while (!batch.reapplies.empty()) {
        Reapply &r = batch.reapplies.front();
        if (const Status status = addEntries(batch, r.afterEntries); !status.ok())
            return status;
        FreeHoursChange change;
        const Status status = store_->reapplyFreeHours(r.network, r.from, r.windows, &change);
        // One that fails is told so, and not tried again: its windows may
        // be changed again meanwhile.
        if (r.done)
            r.done(status, status.ok() ? change : FreeHoursChange());
        batch.reapplies.erase(batch.reapplies.begin());
    }
    if (const Status status = addEntries(batch, batch.entries.size()); !status.ok())
        return status;
    for (auto name = batch.names.begin(); name != batch.names.end();) {
        if (const Status status = store_->nameNetwork(name.key(), name.value()); !status.ok())
            return status;
        name = batch.names.erase(name);
    }
    return Status::success();
}

Status HistoryWriter::addEntries(Batch &batch, size_t count) {
    if (count == 0)
        return Status::success();
    const auto end = batch.entries.begin() + static_cast<std::ptrdiff_t>(count);
    if (const Status status = store_->add({batch.entries.begin(), end}); !status.ok())
        return status;
    batch.entries.erase(batch.entries.begin(), end);
    for (Reapply &later : batch.reapplies)
        later.afterEntries -= std::min(later.afterEntries, count);
    return Status::success();
}

} // namespace flowtally
