#include "net/RouterSource.h"

#include "WBLib/IsValidLocalIP.h"
#include "net/InterfaceChoice.h"
#include "net/NetworkState.h"
#include "net/SnmpCommunityFile.h"
#include "net/SnmpEnvironment.h"
#include "net/SnmpObjects.h"
#include "net/StatusTexts.h"
#include "net/ToolReplies.h"
#include "platform/process/DirectToolRun.h"
#include "platform/system/DynamicStore.h"
#include "platform/system/Environment.h"
#include "platform/system/SystemLog.h"
#include "platform/system/ToolPaths.h"
#include "platform/system/UserDefaults.h"
#include "record/SettingsKeys.h"

#include <atomic>

namespace flowtally {

namespace {

constexpr quint32 kDefaultInterfaceIndex = 6;

// An empty community or address (a cleared field) is as good as none: no
// agent answers to it, and the tools would only complain.
bool given(const std::optional<QString> &value) {
    return value && !value->isEmpty();
}

// The hardware address of the router at `address` where it is the default
// router and was seen; empty otherwise. Routers at one address in two
// networks (192.168.1.1 at home and at the office) are told apart by it.
QString hardwareAddressOf(const QString &address) {
    const std::optional<QVariantMap> state = primaryInterfacePlist();
    if (!state || state->value(kSCPropNetIPv4Router).toString() != address)
        return {};
    return state->value(kRouterHardwareAddress).toString();
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

// The interface chosen for the router at the address, if one was.
std::optional<InterfaceChoice> chosenInterface(const QString &address) {
    return InterfaceChoice::fromMap(UserDefaults::standardUserDefaults()
                                        .objectForKey(SettingsKey::RouterInterface)
                                        .toMap()
                                        .value(address)
                                        .toMap());
}

} // namespace

// A reply that names a MIB object is an answer; anything else is the tool's
// own complaint and goes to the status line.
std::optional<QString> RouterSource::checkedReply(const QString &reply) {
    if (isSnmpAnswer(reply)) {
        status_(StatusText::NoError);
        return reply;
    }
    status_(reply);
    return std::nullopt;
}

// Runs an SNMP tool with the options, the address and the objects as its
// arguments (each value one argument, whatever it holds) and the community
// from Flowtally's configuration file, never on its command line. None,
// with a status text, and no run without a community or for an address
// that may not be asked; a tool that did not run to its end printed nothing.
// Its standard error, when collected, comes back beside the output.
ToolRunWithErrors RouterSource::snmpToolRun(const QString &tool, const QStringList &options,
                                            const QString &address, const QStringList &objects,
                                            ErrorText errors) {
    const std::optional<QString> community = communityPassword();
    if (!given(community)) {
        status_(StatusText::NoCommunity);
        return {};
    }
    if (!mayAsk(address)) {
        status_(StatusText::NotLocal);
        return {};
    }
    if (const Status written = writeSnmpCommunityFile(*community); !written.ok()) {
        static std::atomic<bool> logged = false;
        if (!logged.exchange(true))
            systemLog(QStringLiteral("The SNMP community cannot reach the SNMP tools: %1")
                          .arg(written.message()));
        status_(isWritableSnmpCommunity(*community) ? StatusText::NoPrivateFolder
                                                    : StatusText::NoCommunity);
        return {};
    }
    const QString path = Environment::current().toolPath(tool);
    const QStringList arguments = options + QStringList{address} + objects;
    const QStringList variables = snmpToolVariables() << snmpCommunityVariable();
    ToolRunWithErrors run = errors == ErrorText::Collected
                                ? directToolRunWithErrors(path, arguments, variables)
                                : ToolRunWithErrors{directToolRun(path, arguments, variables), {}};
    run.output = run.output.value_or(QString());
    return run;
}

// What a get of the objects printed ("(NO DATA)" for nothing); none when it
// did not run.
ToolRunWithErrors RouterSource::getOutput(const QString &address, const QStringList &objects,
                                          ErrorText errors) {
    ToolRunWithErrors run = snmpToolRun(kSnmpGetTool, kGetOptions, address, objects, errors);
    if (run.output && run.output->isEmpty())
        run.output = StatusText::NoData;
    return run;
}

// A walk of the object at the address, its status shown; none when it did
// not run or the tool complained. A walk that timed out half-way printed the
// rows it reached, and its timeout on standard error: a list that lacks the
// rest is no walk. Other lines there (modules the system's configuration
// names but cannot find, on every run) say nothing of the walk.
std::optional<QString> RouterSource::walkAt(const QString &address, const QString &object) {
    const ToolRunWithErrors run =
        snmpToolRun(kSnmpWalkTool, {kVersion, k2c}, address, {object}, ErrorText::Collected);
    for (const QString &line : run.errors.split(QLatin1Char('\n'))) {
        if (line.contains(QLatin1String("Timeout:"))) {
            status_(line.trimmed());
            return std::nullopt;
        }
    }
    return run.output ? checkedReply(*run.output) : std::nullopt;
}

// What one get of a router sample reads.
struct RouterSource::Reading {
    double uptime = 0;
    // 0 for a counter that cannot be read.
    quint64 in = 0, out = 0;
    // 64 where the router answered both of IF-MIB's 64-bit counters.
    int bits = 32;
    // Whether both counters were answered as counters.
    bool countersAnswered = false;
    QString name;
    // The interface's speed in bits a second (0: not told), and when its
    // counters were last reset (none: not told).
    quint64 speed = 0;
    std::optional<qint64> discontinuity;
};

// A router sample's one get: the up-time, the interface's counters of
// both widths and the name, each answer read as the per-object operations
// read it; the 64-bit counters where the router has both. None when the
// up-time cannot be read (the router did not answer). The name's answer
// is the probe's as well: the line the probe's get would print.
std::optional<RouterSource::Reading>
RouterSource::readRouter(const QString &address, quint32 index,
                         std::optional<Discovery::Answer> &nameAnswer) {
    // Asked for as the per-object operations ask, answered under the
    // module's name.
    using namespace SnmpObject;
    const QString in32 = column(IfInOctets, index), out32 = column(IfOutOctets, index);
    const QString in64 = column(IfHCInOctets, index), out64 = column(IfHCOutOctets, index);
    const QString highSpeed = column(IfHighSpeed, index), speed = column(IfSpeed, index);
    const QString discontinuity = column(IfCounterDiscontinuityTime, index);
    const std::optional<QString> output =
        getOutput(address, {SysUpTime.name, in64, out64, in32, out32, SysName.name, highSpeed,
                            speed, discontinuity})
            .output;
    const std::optional<QString> reply = output ? checkedReply(*output) : std::nullopt;
    if (!reply)
        return std::nullopt;
    const std::optional<QString> name =
        answerInReply(*reply, QStringLiteral("SNMPv2-MIB::sysName.0"));
    if (name)
        nameAnswer = Discovery::Answer{nameInReply(*name).has_value(), name->trimmed()};
    Reading reading;
    // With DISMAN-EVENT-MIB loaded (the system's whole set of modules), the
    // tools print the same object under the name that module gives it.
    std::optional<QString> uptime =
        answerInReply(*reply, QStringLiteral("SNMPv2-MIB::sysUpTime.0"));
    if (!uptime)
        uptime = answerInReply(*reply, QStringLiteral("DISMAN-EVENT-MIB::sysUpTimeInstance"));
    reading.uptime = uptimeInReply(uptime);
    if (!(reading.uptime > 0))
        return std::nullopt;
    const std::optional<CounterAnswer> wideIn = counterOfAnswer(answerInReply(*reply, in64));
    const std::optional<CounterAnswer> wideOut = counterOfAnswer(answerInReply(*reply, out64));
    if (wideIn && wideOut && wideIn->bits == 64 && wideOut->bits == 64) {
        reading.in = wideIn->value;
        reading.out = wideOut->value;
        reading.bits = 64;
        reading.countersAnswered = true;
    } else {
        const std::optional<QString> in = answerInReply(*reply, in32);
        const std::optional<QString> out = answerInReply(*reply, out32);
        reading.in = counterInReply(in);
        reading.out = counterInReply(out);
        reading.countersAnswered = counterOfAnswer(in) && counterOfAnswer(out);
    }
    reading.name =
        (name ? nameInReply(*name) : std::nullopt).value_or(QStringLiteral("UNAVAILABLE"));
    reading.speed =
        interfaceSpeedOfAnswers(answerInReply(*reply, highSpeed), answerInReply(*reply, speed));
    reading.discontinuity = timeticksOfAnswer(answerInReply(*reply, discontinuity));
    return reading;
}

std::optional<QString> RouterSource::SNMPGet(const QString &oid,
                                             const std::optional<QString> &atIP) {
    if (!given(atIP))
        return std::nullopt;
    const std::optional<QString> output = getOutput(*atIP, {oid}).output;
    return output ? checkedReply(*output) : std::nullopt;
}

std::optional<QString> RouterSource::SNMPGet(const QString &oid) {
    return SNMPGet(oid, routerAddress_());
}

std::optional<QString> RouterSource::SNMPWalk(const QString &oid) {
    const std::optional<QString> address = routerAddress_();
    if (!given(address)) {
        status_(given(communityPassword()) ? StatusText::NoRouter : StatusText::NoCommunity);
        return std::nullopt;
    }
    return walkAt(*address, oid);
}

bool RouterSource::SNMPWorksWith(const std::optional<QString> &address) {
    if (!given(address))
        return false;
    const std::optional<QString> reply = SNMPGet(SnmpObject::SysName.name, address);
    return reply && nameInReply(*reply);
}

Discovery::Answer RouterSource::routerAnswers(const QString &address) {
    const ToolRunWithErrors run =
        getOutput(address, {SnmpObject::SysName.name}, ErrorText::Collected);
    const std::optional<QString> reply = run.output ? checkedReply(*run.output) : std::nullopt;
    if (reply && nameInReply(*reply))
        return {true, {}};
    // The tool's own words, else what it printed in place of an answer.
    const QString errors = run.errors.trimmed();
    return {false, !errors.isEmpty() ? errors : run.output.value_or(QString()).trimmed()};
}

QString RouterSource::SNMPConfiguredName() {
    const std::optional<QString> reply = SNMPGet(SnmpObject::SysName.name);
    return (reply ? nameInReply(*reply) : std::nullopt).value_or(QStringLiteral("UNAVAILABLE"));
}

double RouterSource::SNMPUptime() {
    return uptimeInReply(SNMPGet(SnmpObject::SysUpTime.name));
}

quint32 RouterSource::SNMPInterfaceIndex() {
    return routerInterfaceIndex().index.value_or(kDefaultInterfaceIndex);
}

RouterSource::Index RouterSource::routerInterfaceIndex() {
    const std::optional<InterfaceChoice> choice =
        chosenInterface(routerAddress_().value_or(QString()));
    const std::optional<QString> walk =
        SNMPWalk(choice ? choice->object : SnmpObject::IfDescr.name);
    if (!walk)
        return {};
    if (!choice) {
        // Interface indexes start at 1: 0 says that no "vlan1" was found.
        const quint32 vlan1 = interfaceIndexInWalk(walk, QStringLiteral("vlan1"), 0);
        return vlan1 != 0 ? Index{vlan1} : Index{kDefaultInterfaceIndex, false, true};
    }
    const std::optional<quint32> index = interfaceIndexNamed(walk, choice->text);
    return {index, !index};
}

quint32 RouterSource::SNMPIfIn() {
    const quint32 index = SNMPInterfaceIndex();
    return counterInReply(SNMPGet(SnmpObject::column(SnmpObject::IfInOctets, index)));
}

quint32 RouterSource::SNMPIfOut() {
    const quint32 index = SNMPInterfaceIndex();
    return counterInReply(SNMPGet(SnmpObject::column(SnmpObject::IfOutOctets, index)));
}

QList<RouterInterface> RouterSource::routerInterfaces(const QString &address) {
    const std::optional<QString> descriptions = walkAt(address, SnmpObject::IfDescr.name);
    // A router that did not answer the first walk is not asked again.
    if (!descriptions)
        return {};
    QList<std::optional<QString>> walks;
    using namespace SnmpObject;
    for (const Object &object :
         {IfName, IfAlias, IfHCInOctets, IfHCOutOctets, IfInOctets, IfOutOctets})
        walks.append(walkAt(address, object.name));
    return routerInterfacesInWalks(descriptions, walks[0], walks[1], walks[2], walks[3], walks[4],
                                   walks[5]);
}

SourceOutcome RouterSource::read() {
    std::optional<Discovery::Answer> nameAnswer;
    return read(nameAnswer);
}

SourceOutcome RouterSource::read(std::optional<Discovery::Answer> &nameAnswer) {
    nameAnswer.reset();
    const QString address = routerAddress_().value_or(QString());
    const QString hardware = hardwareAddressOf(address);
    const std::optional<InterfaceChoice> choice = chosenInterface(address);
    // The interface's index as found the last time at this router; a walk
    // when none is known, and after a restart of the router, which may have
    // numbered its interfaces anew.
    const QString sought = address + QLatin1Char('\n') + hardware + QLatin1Char('\n') +
                           (choice ? choice->object + QLatin1Char('\n') + choice->text : QString());
    const std::optional<InterfaceIndexCache::Entry> known = interfaceIndexes_.find(sought);
    Index found = known ? Index{known->index, false, known->defaultIndex} : routerInterfaceIndex();
    std::optional<Reading> reading =
        found.index ? readRouter(address, *found.index, nameAnswer) : std::nullopt;
    if (reading && known && reading->uptime < known->uptime) {
        found = routerInterfaceIndex();
        if (found.index && *found.index != known->index)
            reading = readRouter(address, *found.index, nameAnswer);
    }
    if (found.chosenInterfaceGone) {
        interfaceIndexes_.forget(sought);
        const QString gone = StatusText::interfaceGone(choice->text);
        status_(gone);
        return {std::nullopt, gone};
    }
    // A sample without an up-time is given up; so is one whose interface
    // could not be looked for.
    if (!found.index || !reading)
        return {};
    const quint32 index = *found.index;
    const QString metered = choice               ? choice->text
                            : found.defaultIndex ? QStringLiteral("interface %1").arg(index)
                                                 : QStringLiteral("vlan1");
    // Zeros in place of counters the interface does not have would count
    // nothing while all looked well: the computer is metered instead, and
    // the status says why. The interface may have been made anew under
    // another index (a PPPoE link that came back): it is looked for again
    // at the next sample.
    if (!reading->countersAnswered) {
        interfaceIndexes_.forget(sought);
        const QString none = StatusText::noCounters(
            found.defaultIndex ? metered : QStringLiteral("\"%1\"").arg(metered));
        status_(none);
        return {std::nullopt, none};
    }
    interfaceIndexes_.remember(sought, {index, reading->uptime, found.defaultIndex});

    TrafficSample sample;
    sample.insert(SampleKey::Router, reading->name);
    sample.insert(SampleKey::Uptime, reading->uptime);
    sample.insert(SampleKey::InTraffic, reading->in);
    sample.insert(SampleKey::OutTraffic, reading->out);
    sample.insert(SampleKey::FireDate, Environment::current().now());
    // Which counters these are: another router, another interface of it, or
    // its counters of another width count other things.
    sample.insert(SampleKey::RouterAddress, address);
    if (!hardware.isEmpty())
        sample.insert(SampleKey::RouterHardware, hardware);
    sample.insert(SampleKey::InterfaceIndex, index);
    sample.insert(SampleKey::CounterBits, reading->bits);
    sample.insert(SampleKey::MeteredInterface, metered);
    sample.insert(SampleKey::SourceDescription,
                  QStringLiteral("SNMP: %1, %2-bit").arg(metered).arg(reading->bits));
    if (reading->speed != 0)
        sample.insert(SampleKey::LinkSpeed, reading->speed);
    if (reading->discontinuity)
        sample.insert(SampleKey::CounterDiscontinuity, *reading->discontinuity);
    if (const std::optional<QString> service = primaryServiceUUID())
        sample.insert(SampleKey::PrimaryService, *service);
    return {sample};
}

} // namespace flowtally
