#pragma once

namespace flowtally {

// Opens a window on Flowtally's system-log lines: the desktop's log viewer
// where one is installed (gnome-logs, ksystemlog), else a terminal that
// follows them with journalctl. Nothing waits for it. Answers whether
// something was started; when nothing could be, writes one log line.
bool launchLogViewer();

} // namespace flowtally
