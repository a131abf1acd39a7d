#pragma once

#include "record/NetworkRecord.h"
#include "record/SettingsKeys.h"

namespace flowtally {

// A network's record as Flowtally stores it: an invalid reset date for a
// period that has not begun, a limit of 0 and a start day of 0 for none.
inline NetworkRecord storedRecord(const QString &service, const QDateTime &resetDate, quint64 in,
                                  quint64 out, double limit = 0, int startDay = 0) {
    QVariantMap entries{{RecordKey::PrimaryService, service},
                        {RecordKey::totalInBytes, in},
                        {RecordKey::totalOutBytes, out},
                        {RecordKey::gbpmLimit, limit},
                        {RecordKey::cycleStartDay, quint64(startDay)}};
    if (resetDate.isValid())
        entries.insert(RecordKey::resetDate, resetDate);
    return NetworkRecord::fromMap(entries);
}

} // namespace flowtally
