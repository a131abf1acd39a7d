// The router source: the router's "vlan1" counters, up-time and name over
// SNMP v2c, through the net-snmp command-line tools.
#include "AppDelegate.h"

#include "DirectToolRun.h"
#include "Environment.h"
#include "StatusTexts.h"
#include "Threads.h"
#include "ToolPaths.h"
#include "ToolReplies.h"

namespace flowtally {

namespace {

constexpr quint32 kDefaultInterfaceIndex = 6;

// An empty community or address (a cleared field) is as good as none: no
// agent answers to it, and the tools would only complain.
bool given(const std::optional<QString> &value) {
    return value && !value->isEmpty();
}

// Status texts of the queries go through the main thread, like all others.
void reportStatus(const QString &text) {
    performOnMainThread([text] { AppDelegate::doSetInfoText(text); }, false);
}

// A reply that names a MIB object is an answer; anything else is the tool's
// own complaint and goes to the status line.
std::optional<QString> checkedReply(const QString &reply) {
    if (isSnmpAnswer(reply)) {
        reportStatus(StatusText::NoError);
        return reply;
    }
    reportStatus(reply);
    return std::nullopt;
}

} // namespace

std::optional<QString> AppDelegate::SNMPGet(const QString &oid,
                                            const std::optional<QString> &atIP) {
    if (!given(atIP))
        return std::nullopt;
    const std::optional<QString> community = communityPassword();
    if (!given(community)) {
        reportStatus(StatusText::NoCommunity);
        return std::nullopt;
    }
    // Each value is one argument, whatever it holds.
    const QStringList arguments{QStringLiteral("-v"),
                                QStringLiteral("2c"),
                                QStringLiteral("-r"),
                                QStringLiteral("0"),
                                QStringLiteral("-t"),
                                QStringLiteral("1"),
                                QStringLiteral("-c"),
                                *community,
                                *atIP,
                                oid};
    const std::optional<QString> output =
        directToolRun(Environment::current().toolPath(kSnmpGetTool), arguments);
    return checkedReply(output && !output->isEmpty() ? *output : StatusText::NoData);
}

std::optional<QString> AppDelegate::SNMPGet(const QString &oid) {
    return SNMPGet(oid, routerIPAddress());
}

std::optional<QString> AppDelegate::SNMPWalk(const QString &oid) {
    const std::optional<QString> address = routerIPAddress();
    const std::optional<QString> community = communityPassword();
    if (!given(address) || !given(community)) {
        reportStatus(given(address) ? StatusText::NoCommunity : StatusText::NoRouter);
        return std::nullopt;
    }
    const QStringList arguments{QStringLiteral("-v"),
                                QStringLiteral("2c"),
                                QStringLiteral("-c"),
                                *community,
                                *address,
                                oid};
    return checkedReply(directToolRun(Environment::current().toolPath(kSnmpWalkTool), arguments)
                            .value_or(QString()));
}

bool AppDelegate::SNMPWorksWith(const std::optional<QString> &address) {
    if (!given(address))
        return false;
    const std::optional<QString> reply = SNMPGet(QStringLiteral("system.sysName.0"), address);
    return reply && nameInReply(*reply);
}

QString AppDelegate::SNMPConfiguredName() {
    const std::optional<QString> reply = SNMPGet(QStringLiteral("system.sysName.0"));
    return (reply ? nameInReply(*reply) : std::nullopt).value_or(QStringLiteral("UNAVAILABLE"));
}

QString AppDelegate::routerName() {
    return SNMPConfiguredName();
}

double AppDelegate::SNMPUptime() {
    return uptimeInReply(SNMPGet(QStringLiteral("system.sysUpTime.0")));
}

quint32 AppDelegate::SNMPInterfaceIndex() {
    return interfaceIndexInWalk(SNMPWalk(QStringLiteral("ifDescr")), QStringLiteral("vlan1"),
                                kDefaultInterfaceIndex);
}

std::optional<quint32> AppDelegate::routerInterfaceIndex() {
    const std::optional<QString> walk = SNMPWalk(QStringLiteral("ifDescr"));
    if (!walk)
        return std::nullopt;
    return interfaceIndexInWalk(walk, QStringLiteral("vlan1"), kDefaultInterfaceIndex);
}

quint32 AppDelegate::SNMPIfIn() {
    const quint32 index = SNMPInterfaceIndex();
    return counterInReply(SNMPGet(QStringLiteral("IF-MIB::ifInOctets.%1").arg(index)));
}

quint32 AppDelegate::SNMPIfOut() {
    const quint32 index = SNMPInterfaceIndex();
    return counterInReply(SNMPGet(QStringLiteral("IF-MIB::ifOutOctets.%1").arg(index)));
}

std::optional<TrafficSample> AppDelegate::routerStats() {
    const double uptime = SNMPUptime();
    if (!(uptime > 0))
        return std::nullopt;
    // One walk finds the interface of both counters. A walk that failed
    // tells nothing of the router's interfaces: interface 6 might be any.
    const std::optional<quint32> index = routerInterfaceIndex();
    if (!index)
        return std::nullopt;
    const quint32 in = counterInReply(SNMPGet(QStringLiteral("IF-MIB::ifInOctets.%1").arg(*index)));
    const quint32 out =
        counterInReply(SNMPGet(QStringLiteral("IF-MIB::ifOutOctets.%1").arg(*index)));
    const QString name = SNMPConfiguredName();

    TrafficSample sample;
    sample.insert(SampleKey::Router, name);
    sample.insert(SampleKey::Uptime, uptime);
    sample.insert(SampleKey::InTraffic, quint64(in));
    sample.insert(SampleKey::OutTraffic, quint64(out));
    sample.insert(SampleKey::FireDate, Environment::current().now());
    // Which counters these are: another router, or another interface of it,
    // counts other things.
    sample.insert(SampleKey::RouterAddress, routerIPAddress().value_or(QString()));
    sample.insert(SampleKey::InterfaceIndex, *index);
    if (const std::optional<QString> service = primaryServiceUUID())
        sample.insert(SampleKey::PrimaryService, *service);
    return sample;
}

} // namespace flowtally
