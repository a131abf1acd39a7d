#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace flowtally {

// The objects Flowtally asks a router for over SNMP, in the forms the
// net-snmp tools are given them. The router source's queries and the check
// of the tools' modules at start (SnmpEnvironment.h) both take them from
// here, so that no object is queried that the check did not look at.
namespace SnmpObject {

// An object, and whether its value is text (a DisplayString, which the
// tools print plainly only when its display hint is loaded).
struct Object {
    QString name;
    bool text = false;
};

// SNMPv2-MIB's scalars, got as they stand.
inline const Object SysName{QStringLiteral("system.sysName.0"), true};
inline const Object SysUpTime{QStringLiteral("system.sysUpTime.0")};

// IF-MIB's interface columns: walked by their names, got one row at a time
// as "IF-MIB::name.index" (column()).
inline const Object IfDescr{QStringLiteral("ifDescr"), true};
inline const Object IfName{QStringLiteral("ifName"), true};
inline const Object IfAlias{QStringLiteral("ifAlias"), true};
inline const Object IfInOctets{QStringLiteral("ifInOctets")};
inline const Object IfOutOctets{QStringLiteral("ifOutOctets")};
inline const Object IfHCInOctets{QStringLiteral("ifHCInOctets")};
inline const Object IfHCOutOctets{QStringLiteral("ifHCOutOctets")};
inline const Object IfSpeed{QStringLiteral("ifSpeed")};
inline const Object IfHighSpeed{QStringLiteral("ifHighSpeed")};
inline const Object IfCounterDiscontinuityTime{QStringLiteral("ifCounterDiscontinuityTime")};

inline const QList<Object> kScalars{SysName, SysUpTime};
inline const QList<Object> kColumns{
    IfDescr,      IfName,        IfAlias, IfInOctets,  IfOutOctets,
    IfHCInOctets, IfHCOutOctets, IfSpeed, IfHighSpeed, IfCounterDiscontinuityTime};

// The row `index` of a column, as a get asks for it.
inline QString column(const Object &object, quint32 index) {
    return QStringLiteral("IF-MIB::%1.%2").arg(object.name).arg(index);
}

} // namespace SnmpObject

} // namespace flowtally
