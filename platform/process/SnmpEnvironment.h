#pragma once

#include <QString>

namespace flowtally {

// The net-snmp tools print the replies that Flowtally reads
// ("SNMPv2-MIB::sysName.0 = STRING: gateway") only when they know the
// modules SNMPv2-MIB and IF-MIB and load them; Debian ships the tools
// without either. Flowtally brings minimal modules of its own for the few
// objects it asks for, and points the tools at them where the system
// cannot name those objects itself.

// Which modules the tools that Flowtally runs use.
enum class SnmpModules {
    // The system's, as the tools find them without help: nothing was changed.
    System,
    // The system's, which its configuration does not load: MIBS names them.
    SystemNamed,
    // Flowtally's own: MIBS names them, and MIBDIRS ends with their folder,
    // after the folders the tools search anyway (the last folder wins).
    Bundled,
};

// Asks snmptranslate how the tools, in Flowtally's environment as it is and
// reading no configuration file of the system's (as Flowtally runs them),
// name the objects Flowtally queries, and sets MIBS and MIBDIRS in that
// environment (never elsewhere) as far as needed; one log line when it
// changes anything. Call once at start, before any tool runs and before
// other threads start.
SnmpModules setUpSnmpEnvironment(const QString &bundledFolder);

// The same on a thread of its own, so that the start does not wait for
// snmptranslate; call it before other threads start. Whoever is about to
// run an SNMP tool waits for it with awaitSnmpEnvironment() (at once when
// it is done, or was never begun).
void beginSnmpEnvironment(const QString &bundledFolder);
void awaitSnmpEnvironment();

// Flowtally's own module folder: share/flowtally/mibs beside the running
// program's bin folder, in the build tree as after an install. Needs the
// application object.
QString bundledMibFolder();

} // namespace flowtally
