#pragma once

#include <QString>

namespace flowtally {

// Flowtally's event log: one line per event, written where the environment
// in force says (Environment::log). Safe to call from any thread.
void systemLog(const QString &line);

// The system's destinations for a log line: standard error ("flowtally: "
// before the line) and the system log under the identifier "flowtally".
void writeToSystemLog(const QString &line);

} // namespace flowtally
