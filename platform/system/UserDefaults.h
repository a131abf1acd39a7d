#pragma once

#include "Status.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <QVariantMap>

#include <mutex>
#include <optional>

namespace flowtally {

// Flowtally's settings: typed values (QString, QDateTime, quint64, double,
// bool, nested QVariantMap) in an XML property list, over a registration
// domain of lowest precedence that lives in memory only.
//
// Changes are written within about a second (a coalescing timer on the main
// thread), at synchronize() and when the store is destroyed or the
// application quits; each write replaces the file atomically. Only values
// that were set are written, never the registered ones.
//
// Thread-safe: any thread may read and change values.
class UserDefaults : public QObject {
    Q_OBJECT

  public:
    // A store kept in the file at path; the file's folder is made on the
    // first write.
    explicit UserDefaults(const QString &path, QObject *parent = nullptr);
    ~UserDefaults() override;

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

    // Writes pending changes now; whether the file holds them, and what
    // failed if not. A failure is logged by the store itself (once while it
    // lasts), so callers may leave the answer alone.
    Status synchronize();

  private:
    void load();
    void keepUnreadableFileAside(const QString &reason);
    void changed();
    void noteWriteOutcome(const Status &status);

    const QString path_;
    QTimer writeTimer_{this}; // a child, so that it moves along to the main thread

    mutable std::mutex valuesMutex_;
    QVariantMap values_;
    QVariantMap registered_;
    quint64 generation_ = 0;        // counts changes
    quint64 writtenGeneration_ = 0; // the generation the file holds
    bool writeScheduled_ = false;

    std::mutex fileMutex_; // one write at a time; taken before valuesMutex_
    bool failing_ = false; // the last write failed
};

} // namespace flowtally
