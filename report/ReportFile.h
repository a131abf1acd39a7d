#pragma once

#include "platform/system/Status.h"

#include <QByteArray>
#include <QString>

namespace flowtally {

// Writes a report to the file at `path` whole, or leaves the file as it was:
// a new file beside it, flushed and renamed over it (FileReplacement.h), so
// that a reader such as node_exporter's textfile collector never sees half a
// report. The file is made readable as a program's files are (0666 less the
// umask): such a reader may run as another user. The folder must exist.
Status writeReportFile(const QString &path, const QByteArray &report);

} // namespace flowtally
