// The router source: the router's "vlan1" counters, up-time and name over
// SNMP v2c, through the net-snmp command-line tools.
#include "AppDelegate.h"

#include "DirectToolRun.h"
#include "Environment.h"
#include "IsValidLocalIP.h"
#include "SettingsKeys.h"
#include "SnmpCommunityFile.h"
#include "StatusTexts.h"
#include "SystemLog.h"
#include "Threads.h"
#include "ToolPaths.h"
#include "ToolReplies.h"
#include "UserDefaults.h"

#include <atomic>

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

const QString kVersion = QStringLiteral("-v"), k2c = QStringLiteral("2c");
// A get makes one try and waits a second for it.
const QStringList kGetOptions{
    kVersion,           k2c, QStringLiteral("-r"), QStringLiteral("0"), QStringLiteral("-t"),
    QStringLiteral("1")};

// Whether Flowtally may send SNMP queries to the address: one of the local
// ranges, or the one a person typed into the address field, knowing where
// it is. A community is a password; it goes nowhere else.
bool mayAsk(const QString &address) {
    return isValidLocalIP(address) ||
           UserDefaults::standardUserDefaults().stringForKey(SettingsKey::AirportIP) == address;
}

// Runs an SNMP tool with the options, the address and the objects as its
// arguments (each value one argument, whatever it holds) and the community
// from Flowtally's configuration file, never on its command line. None,
// with a status text, and no run without a community or for an address
// that may not be asked; a tool that did not run to its end printed nothing.
std::optional<QString> snmpToolRun(const QString &tool, const QStringList &options,
                                   const QString &address, const QStringList &objects,
                                   QString *errors = nullptr) {
    const std::optional<QString> community = AppDelegate::communityPassword();
    if (!given(community)) {
        reportStatus(StatusText::NoCommunity);
        return std::nullopt;
    }
    if (!mayAsk(address)) {
        reportStatus(StatusText::NotLocal);
        return std::nullopt;
    }
    if (const Status written = writeSnmpCommunityFile(*community); !written.ok()) {
        static std::atomic<bool> logged = false;
        if (!logged.exchange(true))
            systemLog(QStringLiteral("The SNMP community cannot reach the SNMP tools: %1")
                          .arg(written.message()));
        reportStatus(StatusText::NoCommunity);
        return std::nullopt;
    }
    return directToolRun(Environment::current().toolPath(tool),
                         options + QStringList{address} + objects, {snmpCommunityVariable()},
                         errors)
        .value_or(QString());
}

// What a get of the objects printed ("(NO DATA)" for nothing); none when it
// did not run.
std::optional<QString> getOutput(const QString &address, const QStringList &objects,
                                 QString *errors = nullptr) {
    const std::optional<QString> output =
        snmpToolRun(kSnmpGetTool, kGetOptions, address, objects, errors);
    if (!output)
        return std::nullopt;
    return output->isEmpty() ? StatusText::NoData : *output;
}

const QString kSysName = QStringLiteral("system.sysName.0");

} // namespace

std::optional<QString> AppDelegate::SNMPGet(const QString &oid,
                                            const std::optional<QString> &atIP) {
    if (!given(atIP))
        return std::nullopt;
    const std::optional<QString> output = getOutput(*atIP, {oid});
    return output ? checkedReply(*output) : std::nullopt;
}

std::optional<QString> AppDelegate::SNMPGet(const QString &oid) {
    return SNMPGet(oid, routerIPAddress());
}

std::optional<QString> AppDelegate::SNMPWalk(const QString &oid) {
    const std::optional<QString> address = routerIPAddress();
    if (!given(address)) {
        reportStatus(given(communityPassword()) ? StatusText::NoRouter : StatusText::NoCommunity);
        return std::nullopt;
    }
    const std::optional<QString> output =
        snmpToolRun(kSnmpWalkTool, {kVersion, k2c}, *address, {oid});
    if (!output)
        return std::nullopt;
    return checkedReply(*output);
}

bool AppDelegate::SNMPWorksWith(const std::optional<QString> &address) {
    if (!given(address))
        return false;
    const std::optional<QString> reply = SNMPGet(kSysName, address);
    return reply && nameInReply(*reply);
}

bool AppDelegate::routerAnswers(const QString &address, QString *why) {
    QString errors;
    const std::optional<QString> output = getOutput(address, {kSysName}, &errors);
    const std::optional<QString> reply = output ? checkedReply(*output) : std::nullopt;
    if (reply && nameInReply(*reply))
        return true;
    // The tool's own words, else what it printed in place of an answer.
    *why = !errors.trimmed().isEmpty() ? errors.trimmed() : output.value_or(QString()).trimmed();
    return false;
}

QString AppDelegate::SNMPConfiguredName() {
    const std::optional<QString> reply = SNMPGet(kSysName);
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
