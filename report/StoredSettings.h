#pragma once

#include "Status.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace flowtally {

// A network's record in Flowtally's settings, as a report reads it.
struct NetworkRecord {
    QString service;       // the service identifier it is stored under
    QDateTime resetDate{}; // invalid when not set yet (stored as 1970-01-01)
    quint64 in = 0;        // bytes since the reset date
    quint64 out = 0;
    double limit = 0;      // bytes; 0 for no limit
    int cycleStartDay = 0; // 1 to 31; 0 for no billing cycle

    bool operator==(const NetworkRecord &) const = default;
};

// What a report reads of Flowtally's settings file.
struct StoredSettings {
    QList<NetworkRecord> records; // ordered by service identifier
    // The service of the last reading Flowtally metered; empty when none.
    QString lastMetered;
};

// Reads the settings file at `path` without changing it (it is never
// opened for writing). Gives no settings, and success, when there is no
// file; fails with one sentence on a file that is not a regular file, is
// unreadable or empty, or is not a property list with a dictionary at its
// root. A record is a dictionary with a "PrimaryService" entry; values of
// the wrong type or out of range read as the record's defaults: a reset
// date that is not a date or 1970-01-01 as not set, a limit that is not a
// positive finite number as none, a start day outside 1 to 31 as no cycle.
Status readStoredSettings(const QString &path, std::optional<StoredSettings> *settings);

} // namespace flowtally
