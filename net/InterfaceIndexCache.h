#pragma once

#include <QHash>
#include <QString>

#include <mutex>
#include <optional>

namespace flowtally {

// The index of the router interface that Flowtally reads, as the last walk
// of the router's interfaces found it, with the router's up-time then, per
// router and interface sought (any text that names both). A router numbers
// its interfaces anew when it restarts, and an interface made anew (a
// PPPoE link that came back) may take another index: the callers forget an
// entry then and walk again. Safe on any thread.
class InterfaceIndexCache {
  public:
    struct Entry {
        quint32 index = 0;
        double uptime = 0;
        // The default index, as no interface was described as sought.
        bool defaultIndex = false;
    };

    std::optional<Entry> find(const QString &key) const {
        std::lock_guard lock(mutex_);
        const auto found = entries_.constFind(key);
        return found == entries_.constEnd() ? std::nullopt : std::optional(*found);
    }
    void remember(const QString &key, const Entry &entry) {
        std::lock_guard lock(mutex_);
        entries_.insert(key, entry);
    }
    void forget(const QString &key) {
        std::lock_guard lock(mutex_);
        entries_.remove(key);
    }
    void clear() {
        std::lock_guard lock(mutex_);
        entries_.clear();
    }

  private:
    mutable std::mutex mutex_;
    QHash<QString, Entry> entries_;
};

} // namespace flowtally
