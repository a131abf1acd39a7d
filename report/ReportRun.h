#pragma once

#include "report/ReportText.h"

#include <QByteArray>
#include <QStringList>
#include <QTimeZone>

namespace flowtally {

// flowtally-report's exit codes.
enum ReportExit : int {
    kReportWritten = 0,   // the report, help or version was written
    kUsageError = 1,      // the command line is wrong
    kNothingToReport = 2, // no settings file, no network in it (none by the name asked for), or
                          // no history for a table
    kCannotRead = 3,      // a file is there but cannot be read: unreadable, empty, damaged,
                          // locked, of a newer layout; or the report cannot be written
};

// What a run of flowtally-report gives.
struct ReportOutcome {
    int exitCode = kReportWritten;
    QByteArray output; // for standard output
    // For standard error, a sentence each: the failure that ended the run,
    // or a warning beside a report (a history the names cannot be read from).
    QStringList messages;
};

// Runs flowtally-report with the arguments that follow the program's name:
// reads Flowtally's settings file and traffic history where the
// environment in force keeps them (UserDefaults::standardPath,
// HistoryStore::standardPath), never writing either, and reports at the
// environment's now() in the local time of `zone` (UTC for a zone that is
// not valid, such as the system's for a TZ it does not know), the text and
// the one line in `characters`. The history is needed only for tables;
// without them it gives the networks' names and expected totals when it
// can. With --output the report goes to that file, not to the output; with
// --oneline, nothing to report yet is a line that says so.
ReportOutcome runReport(const QStringList &arguments, const QTimeZone &zone,
                        Characters characters = Characters::Unicode);

} // namespace flowtally
