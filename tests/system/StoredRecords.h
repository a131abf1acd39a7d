#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <map>
#include <optional>

// One network service's record as Flowtally stored it in its defaults file.
struct StoredRecord {
    QString key; // the service identifier it is stored under
    QVariantMap values;

    quint64 totalInBytes() const { return number("totalInBytes"); }
    quint64 totalOutBytes() const { return number("totalOutBytes"); }
    quint64 prevInVal() const { return number("prevInVal"); }
    quint64 prevOutVal() const { return number("prevOutVal"); }
    QString primaryService() const { return values.value("PrimaryService").toString(); }
    QDateTime resetDate() const { return values.value("resetDate").toDateTime(); }
    // Which source the previous counters came from.
    QString prevValSource() const { return values.value("prevValSource").toString(); }
    // Whether the service has had a sample: until then there are no
    // previous counters (0).
    bool sampled() const { return prevInVal() != 0 || prevOutVal() != 0; }

    // The counter values the totals are counted from. Each accepted sample
    // adds exactly the counter's growth to its total and keeps the counter,
    // so counter minus total stays what the counter read at the service's
    // first accepted sample: the same over a whole run and across restarts.
    quint64 inBase() const { return prevInVal() - totalInBytes(); }
    quint64 outBase() const { return prevOutVal() - totalOutBytes(); }

    // The record's keys that are missing or hold no value of their type.
    QStringList faults() const;

    bool operator==(const StoredRecord &other) const = default;

  private:
    quint64 number(const char *name) const { return values.value(name).toULongLong(); }
};

// The records in a defaults file: every top-level entry whose value is a
// dictionary carrying a "PrimaryService" entry. Nothing when there is no
// readable file.
std::optional<std::map<QString, StoredRecord>> readStoredRecords(const QString &path);
