#pragma once

#include "platform/process/DirectToolRun.h"
#include "net/Discovery.h"
#include "net/InterfaceIndexCache.h"
#include "platform/process/ProgramRun.h"
#include "net/ToolReplies.h"
#include "net/TrafficSource.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace flowtally {

// The router source: the counters of the router's chosen interface (else
// its "vlan1"), its up-time and name over SNMP v2c, through the net-snmp
// command-line tools, at the router address discovery gives. A sample asks
// for all of them in one get, the 64-bit counters beside the 32-bit ones,
// and walks the interfaces only when the interface's index is not known yet
// or the router restarted. Every query's outcome goes to the status line.
// Runs tools: never on the main thread. Safe on any thread.
class RouterSource : public TrafficSource {
  public:
    using RouterAddress = std::function<std::optional<QString>()>;

    RouterSource(StatusSink status, RouterAddress routerAddress)
        : status_(std::move(status)), routerAddress_(std::move(routerAddress)) {}

    // ---- Queries ----
    // A get of the object at the address (none without one), its reply
    // when it names a MIB object; the status line shows the outcome.
    std::optional<QString> SNMPGet(const QString &oid, const std::optional<QString> &atIP);
    std::optional<QString> SNMPGet(const QString &oid);
    std::optional<QString> SNMPWalk(const QString &oid);
    bool SNMPWorksWith(const std::optional<QString> &address);
    QString SNMPConfiguredName();
    double SNMPUptime();
    quint32 SNMPInterfaceIndex();
    quint32 SNMPIfIn();
    quint32 SNMPIfOut();
    // The probe of discovery: whether the router at the address answers the
    // name query, as SNMPWorksWith; the tool's standard error is collected,
    // not shared with ours, and tells why a router does not answer.
    Discovery::Answer routerAnswers(const QString &address);
    // The router's interfaces, for the preferences' pop-up: walks of the
    // interface table's descriptions, names, aliases and counters; none
    // when the descriptions cannot be walked.
    QList<RouterInterface> routerInterfaces(const QString &address);

    // ---- Samples ----
    // A router sample, or none.
    std::optional<TrafficSample> routerStats() { return read().sample; }
    // The same; when the interface chosen for the router is not on it, no
    // sample and word to meter this computer.
    SourceOutcome read() override;
    // The same, and the answer that the sample's get gave to the name
    // query, as the probe reads it: none when no get answered the name
    // (it failed, or none was sent).
    SourceOutcome read(std::optional<Discovery::Answer> &nameAnswer);
    // Forgets where the routers' interfaces were found.
    void reset() { interfaceIndexes_.clear(); }

  private:
    struct Index {
        std::optional<quint32> index;
        // The interface chosen for the router is not on it.
        bool chosenInterfaceGone = false;
        // None was chosen and none is described as "vlan1": the index is
        // the default one.
        bool defaultIndex = false;
    };
    // The index of the router's chosen interface, else of its "vlan1"
    // interface (else 6), from one walk; none when the walk failed or the
    // chosen interface is not there.
    Index routerInterfaceIndex();
    struct Reading;
    std::optional<Reading> readRouter(const QString &address, quint32 index,
                                      std::optional<Discovery::Answer> &nameAnswer);
    std::optional<QString> checkedReply(const QString &reply);
    ToolRunWithErrors snmpToolRun(const QString &tool, const QStringList &options,
                                  const QString &address, const QStringList &objects,
                                  ErrorText errors = ErrorText::Shared);
    ToolRunWithErrors getOutput(const QString &address, const QStringList &objects,
                                ErrorText errors = ErrorText::Shared);
    std::optional<QString> walkAt(const QString &address, const QString &object);

    StatusSink status_;
    RouterAddress routerAddress_;
    InterfaceIndexCache interfaceIndexes_;
};

} // namespace flowtally
