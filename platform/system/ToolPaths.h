#pragma once

#include <QString>

namespace flowtally {

// The command-line tools Flowtally runs, under the names the rest of the
// program knows them by. Environment::toolPath gives the program that does
// a tool's work.
inline const QString kNetstatTool = QStringLiteral("/usr/sbin/netstat");
inline const QString kArpTool = QStringLiteral("/usr/sbin/arp");
inline const QString kSnmpGetTool = QStringLiteral("/usr/bin/snmpget");
inline const QString kSnmpWalkTool = QStringLiteral("/usr/bin/snmpwalk");
// Asked at start how the SNMP tools name the objects Flowtally queries.
inline const QString kSnmpTranslateTool = QStringLiteral("/usr/bin/snmptranslate");

// This platform's program for a tool: Flowtally's own helpers stand for
// netstat and arp, the net-snmp tools are the same here. A name the table
// does not hold is returned unchanged.
QString platformToolPath(const QString &tool);

// The folder that holds Flowtally's own helper programs: beside the running
// executable, or its ../libexec/flowtally after an install.
QString helperDirectory();

} // namespace flowtally
