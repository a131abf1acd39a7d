#pragma once

#include <QString>
#include <QStringList>

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
// name the objects Flowtally queries, and settles the values of MIBS and
// MIBDIRS that the tools are run with as far as needed (snmpToolVariables);
// one log line when it changes anything. Flowtally's own environment is
// never changed: other threads read it. Call at start, before any SNMP
// tool runs.
SnmpModules setUpSnmpEnvironment(const QString &bundledFolder);

// The same on a thread of its own, so that the start does not wait for
// snmptranslate. Whoever is about to run an SNMP tool waits for it with
// awaitSnmpEnvironment() (at once when it is done, or was never begun).
void beginSnmpEnvironment(const QString &bundledFolder);
void awaitSnmpEnvironment();

// What the SNMP tools run with beside Flowtally's environment, as
// "NAME=value" each: MIBS and MIBDIRS where the set-up needed them; none
// before it. Safe on any thread.
QStringList snmpToolVariables();

// Flowtally's own module folder: share/flowtally/mibs beside the running
// program's bin folder, in the build tree as after an install. Needs the
// application object.
QString bundledMibFolder();

} // namespace flowtally
