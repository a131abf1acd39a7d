#pragma once

#include <QString>

namespace flowtally {

// The command-line tools Flowtally runs, under the names the rest of the
// program knows them by, and the one table that maps each to the program
// that does that work on this platform.
inline const QString kNetstatTool = QStringLiteral("/usr/sbin/netstat");
inline const QString kArpTool = QStringLiteral("/usr/sbin/arp");
inline const QString kSnmpGetTool = QStringLiteral("/usr/bin/snmpget");
inline const QString kSnmpWalkTool = QStringLiteral("/usr/bin/snmpwalk");

// This platform's program for a tool. A name the table does not hold is
// returned unchanged. Safe to call from any thread.
QString toolPath(const QString &tool);

// Replaces the table's entry for a tool (tests point tools at scripts).
// An empty path restores the platform's own entry.
void setToolPath(const QString &tool, const QString &path);

// The folder that holds Flowtally's own helper programs: beside the running
// executable, or its ../libexec/flowtally after an install.
QString helperDirectory();

} // namespace flowtally
