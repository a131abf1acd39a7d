#pragma once

#include <QString>
#include <QStringList>

namespace flowtally {

// The name an application is shown by, from its key in the history
// ("app:ID", "service:UNIT" or "other", see CgroupApplication): an
// application's desktop entry's Name ("ID.desktop" in the "applications"
// folder of the first data folder that has one, where it is an application's
// entry), else its ID; a system service's unit; the rows that make the
// applications add up (ApplicationsRest.h) by what they hold; "Other" for
// the rest.
QString applicationName(const QString &key, const QStringList &dataFolders);

// The folders desktop entries are found in, the first first: the user's
// data folder, then $XDG_DATA_DIRS (by default /usr/local/share and
// /usr/share).
QStringList applicationDataFolders();

} // namespace flowtally
