#pragma once

#include "Status.h"

#include <QString>
#include <QStringList>

namespace flowtally {

// The SNMP community reaches the net-snmp tools through a configuration
// file of Flowtally's own, never through their command line, where every
// local user could read it in the process table: "defCommunity" in
// snmp.conf, in the folder "snmp" of the runtime folder
// (Environment::current().runtimeFolder()), the folder 0700 and the file
// 0600. The tools learn of the folder from SNMPCONFPATH, which replaces
// their whole search path: they read no other configuration file, and
// Flowtally's module settings (MIBS, MIBDIRS, SnmpEnvironment.h) reach
// them through the environment as before. Safe on any thread.

// The folder and the file in the runtime folder in force.
QString snmpCommunityFolder();
QString snmpCommunityFilePath();

// The variable that names the folder to a tool run, "SNMPCONFPATH=folder".
QString snmpCommunityVariable();

// Makes the file say this community, unless it says so already: written
// anew atomically (a reader sees the old file or the new one, never a part)
// whenever the community differs from the one last written or the file has
// gone. A community that holds a line end cannot be written (the tools read
// the file line by line); then the file is removed, so that no tool uses an
// earlier community. Errors never quote the community.
Status writeSnmpCommunityFile(const QString &community);

// Removes the file (at quit): the community stays only in the settings.
// No file is fine.
Status removeSnmpCommunityFile();

} // namespace flowtally
