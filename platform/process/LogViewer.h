#pragma once

#include "platform/system/Status.h"

namespace flowtally {

// Opens a window on Flowtally's system-log lines: the desktop's log viewer
// where one is installed (gnome-logs, ksystemlog), else a terminal that
// follows them with journalctl. Nothing waits for it. When nothing could be
// started, the error says so and one log line is written.
Status launchLogViewer();

} // namespace flowtally
