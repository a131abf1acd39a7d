#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

namespace flowtally {

// The readers of what Flowtally's tools print: plain functions of the text,
// safe on any thread, with no tool run, no log line and no status text of
// their own. The operations that run the tools call them.

// ---- netstat, byte-count layout for one interface ----

// The interface's line of a listing: a header, then "Name Mtu Network
// Address Ipkts Ierrs Ibytes Opkts Oerrs Obytes Coll".
struct NetstatRow {
    QString address; // the address column (field 3)
    quint64 in = 0;  // Ibytes (field 6), read as a signed 64-bit number
    quint64 out = 0; // Obytes (field 9), the same
    // The kernel's index of the interface, from a network column of the form
    // "<Link#N>"; 0 when the column has another form.
    quint32 kernelIndex = 0;
};

// What a listing gives: the row, or why there is none and the text the log
// line quotes for it.
struct NetstatReading {
    enum class Outcome {
        Row,
        // Fewer than two lines (no line end after the header, no output):
        // `quoted` is the whole text.
        ShortLineCount,
        // The line after the header has fewer than ten fields: `quoted` is
        // its fields joined with single spaces.
        ResultFormat,
    };
    Outcome outcome = Outcome::Row;
    NetstatRow row;
    QString quoted;
};

// Lines are cut at each "\n"; the line after the header is split at runs of
// white space and line ends; fields beyond the tenth are ignored; a counter
// that is not a number reads as 0.
NetstatReading readNetstatListing(const QString &text);

// ---- net-snmp's snmpget and snmpwalk ----
// A reply holds one line per object: "MODULE::name.index = TYPE: value".

// Whether the text is an answer of the agent (it names a MIB object) rather
// than a complaint of the tool.
bool isSnmpAnswer(const QString &reply);

// The word after "STRING:" at the end of a reply of more than three words,
// with whatever line end follows it (the last word of a name of several);
// none for a reply of another type.
std::optional<QString> nameInReply(const QString &reply);

// The time-ticks in parentheses of an up-time reply, in seconds; -1 for
// none, an empty reply or one without "(" and ")".
double uptimeInReply(const std::optional<QString> &reply);

// The index of the last line of a walk of interface descriptions that
// contains `description` anywhere (so "vlan1" also finds vlan10); the
// fallback when no line does.
quint32 interfaceIndexInWalk(const std::optional<QString> &walk, const QString &description,
                             quint32 fallback);

// The counter of a reply (its fourth word, trimmed, read as a signed 64-bit
// number) cut to its low 32 bits; 0 for none or a reply of three words or
// fewer.
quint32 counterInReply(const std::optional<QString> &reply);

// The answer to one object in the reply of a get of several objects: the
// line that begins with the object's name as the tool prints it
// ("SNMPv2-MIB::sysUpTime.0") and " = ", line end included; none when no
// line does.
std::optional<QString> answerInReply(const QString &reply, const QString &object);

// A counter as an answer gives it: its value and its width in bits.
struct CounterAnswer {
    quint64 value = 0;
    int bits = 32;
    bool operator==(const CounterAnswer &) const = default;
};

// The counter of an answer of type Counter32 or Counter64 ("OBJECT =
// Counter64: 123", the value an unsigned decimal number); none for an
// answer of another type, such as an exception ("No Such Instance currently
// exists at this OID"), or for none.
std::optional<CounterAnswer> counterOfAnswer(const std::optional<QString> &answer);

// The speed of an interface in bits a second from the answers to IF-MIB's
// ifHighSpeed (millions of bits a second) and ifSpeed (bits a second,
// 4294967295 for any speed above it), both of type Gauge32: the high one
// where it is above 0, else ifSpeed where it tells one; 0 where neither
// does.
quint64 interfaceSpeedOfAnswers(const std::optional<QString> &highSpeed,
                                const std::optional<QString> &speed);

// The time-ticks of an answer of type Timeticks ("OBJECT = Timeticks: (123)
// 0:00:01.23"), such as IF-MIB's ifCounterDiscontinuityTime; none for an
// answer of another type, or for none.
std::optional<qint64> timeticksOfAnswer(const std::optional<QString> &answer);

// The texts of a walk of a text column of the interface table ("IF-MIB::
// ifName.7 = STRING: wan"), by the interface's index (the number after the
// last dot of the object's name): the text after "STRING: " to the line's
// end (empty for "STRING:" with nothing after it). Lines of another type or
// shape are left out.
QMap<quint32, QString> textsInWalk(const std::optional<QString> &walk);

// The counters of a walk of a counter column ("IF-MIB::ifHCInOctets.7 =
// Counter64: 123"), by the interface's index, as counterOfAnswer reads them;
// lines that hold no counter are left out.
QMap<quint32, CounterAnswer> countersInWalk(const std::optional<QString> &walk);

// The index of the interface whose text in a walk of a text column is
// `text` exactly (the highest of several); none when no line's is.
std::optional<quint32> interfaceIndexNamed(const std::optional<QString> &walk, const QString &text);

// One of a router's interfaces as walks of its interface table show it.
struct RouterInterface {
    quint32 index = 0;
    // IF-MIB's ifDescr, ifName and ifAlias; empty where the router has none.
    QString description, name, alias;
    // The octets it received and sent, from its 64-bit counters where the
    // router has them, else its 32-bit ones; none where it has neither.
    std::optional<quint64> in, out;
    bool operator==(const RouterInterface &) const = default;
};

// The interfaces of the walks of the description column and of the other
// columns (any of them may have failed), in the order of their indexes:
// every interface the description walk names.
QList<RouterInterface>
routerInterfacesInWalks(const std::optional<QString> &descriptions,
                        const std::optional<QString> &names, const std::optional<QString> &aliases,
                        const std::optional<QString> &wideIn, const std::optional<QString> &wideOut,
                        const std::optional<QString> &in, const std::optional<QString> &out);

// ---- the arp tool ----
// Replies have the shape "NAME (ADDRESS) at HW on IF [TYPE]" or
// "NAME (ADDRESS) -- no entry".

// The address between the parentheses of a reply cut at "()" into exactly
// three pieces; none otherwise.
std::optional<QString> addressInArpReply(const QString &reply);

// The record of a reply of more than six words that begins with "?": words
// 1, 3, 5 and 6, trimmed of "[]() \n", under "IP", "MAC", "PrimaryInterface"
// and "INTERFACE_DESCRIPTION".
std::optional<QVariantMap> addressRecordInArpReply(const QString &reply);

// Word 3 of a reply of at least four words, untrimmed.
std::optional<QString> hardwareAddressInArpReply(const QString &reply);

} // namespace flowtally
