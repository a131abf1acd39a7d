#pragma once

#include <QString>

namespace flowtally {

// The keys of Flowtally's settings file: the settings a person makes, where
// the windows were, and, under each network's identifier, that network's
// record.
namespace SettingsKey {
// The router address typed into the address field (dotted text); absent
// when none was typed.
inline const QString AirportIP = QStringLiteral("AirportIP");
// The SNMP community; a password.
inline const QString communityPassword = QStringLiteral("communityPassword");
// The help window stays hidden at start once it has been closed.
inline const QString HideHelp = QStringLiteral("HideHelp");
// The limit, as a number of the chosen unit.
inline const QString DisplayLimitGB = QStringLiteral("DisplayLimitGB");
// Where each window was and how large.
inline const QString MainWindowGeometry = QStringLiteral("MainWindowGeometry");
inline const QString PreferencesWindowGeometry = QStringLiteral("PreferencesWindowGeometry");
inline const QString HelpWindowGeometry = QStringLiteral("HelpWindowGeometry");
inline const QString HistoryWindowGeometry = QStringLiteral("HistoryWindowGeometry");
inline const QString LogWindowGeometry = QStringLiteral("LogWindowGeometry");
inline const QString ApplicationsWindowGeometry = QStringLiteral("ApplicationsWindowGeometry");
// The router interface chosen in the preferences, per router address: a
// dictionary of addresses (dotted text), each with the choice's "object"
// ("ifDescr" or "ifName") and "text" (InterfaceChoice.h). A router without
// an entry is read as documented: its "vlan1", else interface 6.
inline const QString RouterInterface = QStringLiteral("RouterInterface");
// The share of the limit at which Flowtally warns, in percent; 0: never.
// Absent: 80.
inline const QString WarnAtPercent = QStringLiteral("WarnAtPercent");
// Where a router's counters are read: "automatic" (SNMP, then UPnP; also
// when absent), "snmp", "upnp", or "local" (this computer only).
inline const QString RouterCounters = QStringLiteral("RouterCounters");
// The last reading metered (see LastReading.h).
inline const QString LastReading = QStringLiteral("LastReading");
} // namespace SettingsKey

// The entries of a network's record.
namespace RecordKey {
inline const QString resetDate = QStringLiteral("resetDate");
inline const QString totalInBytes = QStringLiteral("totalInBytes");
inline const QString totalOutBytes = QStringLiteral("totalOutBytes");
inline const QString prevInVal = QStringLiteral("prevInVal");
inline const QString prevOutVal = QStringLiteral("prevOutVal");
inline const QString PrimaryService = QStringLiteral("PrimaryService");
inline const QString limitUnitsScale = QStringLiteral("limitUnitsScale");
inline const QString gbpmLimit = QStringLiteral("gbpmLimit");
// Which source the previous counters came from ("local" or "router").
inline const QString prevValSource = QStringLiteral("prevValSource");
// The router's up-time at the previous counters (0 for local ones).
inline const QString prevUptime = QStringLiteral("prevUptime");
// Which counters the previous counters were read from: their source, the
// interface or router, its index, and the boot of local ones.
inline const QString prevValOrigin = QStringLiteral("prevValOrigin");
// The day of the month on which the network's billing cycle starts (1–31;
// 29–31 mean the month's last day in shorter months); absent or 0: none.
inline const QString cycleStartDay = QStringLiteral("cycleStartDay");
// The start of the billing cycle for which the totals were last reset by
// themselves; an undo of that reset keeps it, so the cycle is not reset again.
inline const QString cycleResetFor = QStringLiteral("cycleResetFor");
// The record as it was before that reset, while the reset stands (neither
// undone nor followed by a reset of the person's): a clock that goes back
// before the cycle's start puts it back.
inline const QString cycleResetBefore = QStringLiteral("cycleResetBefore");
// Which alerts of the period were sent (see AlertState.h).
inline const QString limitAlerts = QStringLiteral("limitAlerts");
// What the local source counts on the network: "all" traffic on the
// interface (also when absent), or only the "internet" traffic, as
// flowtally-accountd tells it apart from the local network's.
inline const QString countedTraffic = QStringLiteral("countedTraffic");
// The network's daily free hours (FreeHours.h): an array of dictionaries,
// each with the window's "start" and "end" in minutes after local midnight;
// absent: none.
inline const QString freeHours = QStringLiteral("freeHours");
// Of totalInBytes and totalOutBytes, the bytes counted in free hours; absent:
// none.
inline const QString freeInBytes = QStringLiteral("freeInBytes");
inline const QString freeOutBytes = QStringLiteral("freeOutBytes");
// Whether the network's alerts come only while NetworkManager counts the
// connection as metered (a boolean; absent: alerts on any connection).
inline const QString alertOnlyOnMetered = QStringLiteral("alertOnlyOnMetered");
} // namespace RecordKey

// The entries of a free-hours window in a record's freeHours.
namespace FreeWindowKey {
inline const QString start = QStringLiteral("start");
inline const QString end = QStringLiteral("end");
} // namespace FreeWindowKey

// The entries of the last reading (LastReading.h) that others read too.
namespace LastReadingKey {
// The identifier of the network service the reading was metered for: the
// network flowtally-report shows first.
inline const QString service = QStringLiteral("service");
} // namespace LastReadingKey

} // namespace flowtally
