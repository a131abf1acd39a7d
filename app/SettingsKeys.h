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
} // namespace RecordKey

} // namespace flowtally
