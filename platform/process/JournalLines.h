#pragma once

#include "platform/system/Status.h"
#include "platform/system/SystemLog.h"

#include <QByteArray>
#include <QList>

#include <chrono>

namespace flowtally {

// Flowtally's lines of earlier runs, as the systemd journal keeps what it
// wrote to the system log under the identifier "flowtally".

// The lines of a journal export in JSON, one entry a line (journalctl's
// "-o json"): each entry's time (__REALTIME_TIMESTAMP, microseconds since
// the epoch) and MESSAGE, oldest first as the export has them. The entries
// of the process `leftOut` (this run, whose lines recentLogLines() holds)
// are left out, and so are lines that are no such entry or hold no text.
QList<LogLine> journalLines(const QByteArray &json, qint64 leftOut);

// Reads the user's journal for Flowtally's last kKeptLogLines lines with
// journalctl, found on the search path, run for at most `timeLimit`; this
// process's lines are left out. The error says why nothing could be read
// (no journalctl, it failed or ran too long).
Status readEarlierLogLines(std::chrono::milliseconds timeLimit, QList<LogLine> *lines);

} // namespace flowtally
