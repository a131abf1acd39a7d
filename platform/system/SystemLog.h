#pragma once

#include <QString>

#include <functional>

namespace flowtally {

// Flowtally's event log: one line per event, on standard error and in the
// system log under the identifier "flowtally". Safe to call from any thread.
void systemLog(const QString &line);

// Where log lines go instead of the default destinations; tests capture
// lines with it. An empty function restores the default. Returns the sink
// that was in place before.
using SystemLogSink = std::function<void(const QString &line)>;
SystemLogSink setSystemLogSink(SystemLogSink sink);

} // namespace flowtally
