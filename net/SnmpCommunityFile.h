#pragma once

#include "platform/system/Status.h"

#include <QString>

namespace flowtally {

// The SNMP community reaches the net-snmp tools through a configuration
// file of Flowtally's own, never through their command line, where every
// local user could read it in the process table: "defCommunity" in
// snmp.conf, in the folder "snmp" of the runtime folder (RuntimeFolder.h),
// the folder 0700 and the file 0600, both made and opened without following
// links (PrivateFolder.h). The tools learn of the folder from SNMPCONFPATH,
// which replaces their whole search path: they read no other configuration
// file, and Flowtally's module settings (MIBS, MIBDIRS, SnmpEnvironment.h)
// reach them through the environment as before. Safe on any thread.

// The variable that names the folder of the file last written to a tool
// run, "SNMPCONFPATH=folder".
QString snmpCommunityVariable();

// Whether the tools can read the community from the file: it holds no line
// end (they read the file line by line).
bool isWritableSnmpCommunity(const QString &community);

// Makes the file say this community, unless it says so already: written
// anew atomically (a reader sees the old file or the new one, never a part)
// whenever the community differs from the one last written or the file is
// not the one written last. A community that is not writable is not
// written; the file is removed, so that no tool uses an earlier community.
// Fails also where no private folder can be had. Errors never quote the
// community.
Status writeSnmpCommunityFile(const QString &community);

// Removes the file (at quit): the community stays only in the settings.
// No file, or no private folder to hold one, is fine.
Status removeSnmpCommunityFile();

} // namespace flowtally
