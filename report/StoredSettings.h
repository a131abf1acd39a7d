#pragma once

#include "record/NetworkRecord.h"
#include "platform/system/Status.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace flowtally {

// What a report reads of Flowtally's settings file.
struct StoredSettings {
    // Ordered by service identifier, each record's service the one it is
    // stored under.
    QList<NetworkRecord> records;
    // The service of the last reading Flowtally metered; empty when none.
    QString lastMetered;
};

// Reads the settings file at `path` without changing it (it is never
// opened for writing). Gives no settings, and success, when there is no
// file; fails with one sentence on a file that is not a regular file, is
// unreadable or empty, or is not a property list with a dictionary at its
// root. A record is a dictionary with a "PrimaryService" entry, read as
// NetworkRecord reads it.
Status readStoredSettings(const QString &path, std::optional<StoredSettings> *settings);

} // namespace flowtally
