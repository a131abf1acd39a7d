#pragma once

#include "platform/system/Status.h"

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace flowtally {

// Flowtally's settings: typed values (QString, QDateTime, quint64, double,
// bool, nested QVariantMap) in an XML property list, over a registration
// domain of lowest precedence that lives in memory only.
//
// The file is written by the store's own writer thread, never by the thread
// that changes a value: within the write interval of a change (at most one
// write per interval while values keep changing, so a power cut loses at
// most that much), at once after writeNow(), and whatever is pending when
// the store goes. Each write replaces the file atomically with the values
// as they were at one moment. Only values that were set are written, never
// the registered ones. A write that fails is tried again each second.
//
// Thread-safe: any thread may read and change values.
class UserDefaults {
  public:
    // How long changes may wait for the writer; the process's store takes
    // the environment's (Environment::settingsWriteInterval).
    static constexpr std::chrono::milliseconds kWriteInterval{10000};

    // A store kept in the file at path; the file's folder is made on the
    // first write.
    explicit UserDefaults(const QString &path,
                          std::chrono::milliseconds writeInterval = kWriteInterval);
    ~UserDefaults();
    UserDefaults(const UserDefaults &) = delete;
    UserDefaults &operator=(const UserDefaults &) = delete;

    // The process's store, at defaults.plist in the flowtally folder of the
    // environment's settings folder (Environment::configFolder) when it is
    // first used. Its registration domain belongs to the process.
    static UserDefaults &standardUserDefaults();
    // Where the process's store keeps its file, in the environment in force.
    static QString standardPath();
    // Writes and drops the process's store, so that the next use reads the
    // environment and the file afresh (ScopedEnvironment does this).
    static void resetStandardUserDefaults();

    QString path() const { return path_; }

    // Merges the values into the registration domain, key by key.
    void registerDefaults(const QVariantMap &defaults);

    // The keys of the stored values.
    QStringList keys() const;
    // The stored value, else the registered one, else an invalid QVariant.
    QVariant objectForKey(const QString &key) const;
    // The value when it is a string; nothing when it is missing or not one.
    std::optional<QString> stringForKey(const QString &key) const;
    // The value read as a boolean: true, a non-zero number, or the text
    // "YES", "true" or a non-zero number; false otherwise and when missing.
    bool boolForKey(const QString &key) const;

    // Stores the value; an invalid QVariant removes the key.
    void setObject(const QString &key, const QVariant &value);
    // Stores several values at once: a write of the file holds all of them
    // or none.
    void setObjects(const QVariantMap &values);
    void removeObject(const QString &key);

    // Asks the writer to write pending changes at once; returns at once.
    void writeNow();
    // How many changes the store has seen: the file holds all of them once a
    // write of this generation is done.
    quint64 generation() const;
    // Called on the writer's thread after each write of the file, with the
    // generation written, before waiters are told: work that must follow
    // the settings on disk (the traffic history) goes there. Set it before
    // changes are made.
    using WrittenHook = std::function<void(quint64 generation)>;
    void setWrittenHook(WrittenHook hook);
    // Has the writer call the hook soon, with the generation the file holds,
    // also when there is nothing to write; synchronize() waits for it.
    void callWrittenHookSoon();
    // Whether every change so far is in the file.
    bool isWritten() const;
    // Waits until every change made so far is in the file, or its write
    // failed; whether the file holds them, and what failed if not. A failure
    // is logged by the store itself (once while it lasts), so callers may
    // leave the answer alone. Blocks: for the end of the program and tests.
    Status synchronize();

  private:
    void load();
    void keepUnreadableFileAside(const QString &reason);
    void changed();
    void writeWhenDue();
    void noteWriteOutcome(const Status &status);

    const QString path_;
    const std::chrono::milliseconds writeInterval_;

    // The values and how often they changed; guarded by mutex_ with the
    // writer's state below.
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    QVariantMap values_;
    QVariantMap registered_;
    quint64 generation_ = 0;        // counts changes
    quint64 writtenGeneration_ = 0; // the generation the file holds
    quint64 attempts_ = 0;          // writes tried
    Status lastOutcome_;
    bool writeNow_ = false;
    quint64 hookRequests_ = 0, hookRequestsDone_ = 0;
    bool stopping_ = false;
    std::chrono::steady_clock::time_point due_; // the next write, once changes wait
    WrittenHook writtenHook_;
    bool failing_ = false; // the last write failed (writer only)
    std::thread writer_;
};

} // namespace flowtally
