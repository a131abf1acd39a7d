// The router source: the router's "vlan1" counters, up-time and name over
// SNMP v2c, through the net-snmp command-line tools.
#include "AppDelegate.h"

#include "Environment.h"

#include "DirectToolRun.h"
#include "Numbers.h"
#include "Threads.h"
#include "ToolPaths.h"
#include "WBNSStringLinesFromString.h"

namespace flowtally {

namespace {

const QString kNoData = QStringLiteral("(NO DATA)");
const QString kNoError = QStringLiteral("No Error");
const QString kMibMark = QStringLiteral("MIB::");
const QString kNoCommunity = QStringLiteral("SNMP Error: no community string is set.");
const QString kNoRouter = QStringLiteral("SNMP Error: no router address.");
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
    if (reply.contains(kMibMark)) {
        reportStatus(kNoError);
        return reply;
    }
    reportStatus(reply);
    return std::nullopt;
}

QStringList words(const QString &reply) {
    return reply.split(QLatin1Char(' '));
}

bool isNameReply(const QStringList &replyWords) {
    return replyWords.size() > 3 && replyWords.at(2) == QLatin1String("STRING:");
}

// The low 32 bits of the counter in a reply, or 0 when it holds none.
quint32 counterInReply(const std::optional<QString> &reply) {
    if (!reply || reply->isEmpty())
        return 0;
    const QStringList replyWords = words(*reply);
    if (replyWords.size() <= 3)
        return 0;
    return static_cast<quint32>(longLongValue(replyWords.at(3).trimmed()));
}

} // namespace

std::optional<QString> AppDelegate::SNMPGet(const QString &oid,
                                            const std::optional<QString> &atIP) {
    if (!given(atIP))
        return std::nullopt;
    const std::optional<QString> community = communityPassword();
    if (!given(community)) {
        reportStatus(kNoCommunity);
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
    return checkedReply(output && !output->isEmpty() ? *output : kNoData);
}

std::optional<QString> AppDelegate::SNMPGet(const QString &oid) {
    return SNMPGet(oid, routerIPAddress());
}

std::optional<QString> AppDelegate::SNMPWalk(const QString &oid) {
    const std::optional<QString> address = routerIPAddress();
    const std::optional<QString> community = communityPassword();
    if (!given(address) || !given(community)) {
        reportStatus(given(address) ? kNoCommunity : kNoRouter);
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
    return reply && isNameReply(words(*reply));
}

QString AppDelegate::SNMPConfiguredName() {
    const std::optional<QString> reply = SNMPGet(QStringLiteral("system.sysName.0"));
    if (!reply)
        return QStringLiteral("UNAVAILABLE");
    const QStringList replyWords = words(*reply);
    if (!isNameReply(replyWords))
        return QStringLiteral("UNAVAILABLE");
    return replyWords.last();
}

QString AppDelegate::routerName() {
    return SNMPConfiguredName();
}

double AppDelegate::SNMPUptime() {
    const std::optional<QString> reply = SNMPGet(QStringLiteral("system.sysUpTime.0"));
    if (!reply || reply->isEmpty())
        return -1;
    const QStringList opened = reply->split(QLatin1Char('('));
    if (opened.size() < 2)
        return -1;
    const QStringList closed = opened.at(1).split(QLatin1Char(')'));
    if (closed.size() < 2)
        return -1;
    // Time-ticks are hundredths of a second.
    return doubleValue(closed.at(0)) / 100.0;
}

quint32 AppDelegate::SNMPInterfaceIndex() {
    const std::optional<QString> reply = SNMPWalk(QStringLiteral("ifDescr"));
    quint32 index = kDefaultInterfaceIndex;
    // Every matching line counts, so the last one decides.
    for (const QString &line : reply ? lines(*reply) : QStringList()) {
        if (!line.contains(QLatin1String("vlan1")))
            continue;
        const QString name = words(line).constFirst();
        index = static_cast<quint32>(integerValue(name.split(QLatin1Char('.')).constLast()));
    }
    return index;
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
    const quint32 in = SNMPIfIn();
    const quint32 out = SNMPIfOut();
    const QString name = SNMPConfiguredName();

    TrafficSample sample;
    sample.insert(SampleKey::Router, name);
    sample.insert(SampleKey::Uptime, uptime);
    sample.insert(SampleKey::InTraffic, quint64(in));
    sample.insert(SampleKey::OutTraffic, quint64(out));
    sample.insert(SampleKey::FireDate, Environment::current().now());
    if (const std::optional<QString> service = primaryServiceUUID())
        sample.insert(SampleKey::PrimaryService, *service);
    return sample;
}

} // namespace flowtally
