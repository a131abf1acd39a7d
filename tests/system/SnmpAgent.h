#pragma once

#include "NetworkNamespace.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <sys/types.h>

// The router's SNMP agent: snmpd inside a namespace of the test's, on one
// address, answering one community from one subnet, naming itself
// kSystemName. Its configuration, pid file, log and saved state live in a
// temporary folder of its own; it reads no configuration of the system and
// knows Flowtally's own modules. It is signalled only through its own pid
// and is killed when the object goes.
class SnmpAgent {
  public:
    inline static const QString kSystemName = QStringLiteral("testrouter");

    SnmpAgent(const NetworkNamespace &network, const QString &address, const QString &clients);
    ~SnmpAgent();
    SnmpAgent(const SnmpAgent &) = delete;
    SnmpAgent &operator=(const SnmpAgent &) = delete;

    // Why there can be no agent here (snmpd missing); empty when there can.
    static QString unavailableReason();
    // Flowtally's module folder in the build.
    static QString moduleFolder();

    // Starts snmpd with the community and waits (bounded) until it serves.
    bool start(const QString &community, QString *error);
    // SIGTERM, a bounded wait, then SIGKILL; whether it ended.
    bool stop();
    // SIGSTOP and SIGCONT: the agent stays, but answers nothing meanwhile.
    bool freeze();
    bool thaw();
    bool isRunning();

    QString log() const;

  private:
    bool sendSignal(int number);

    const NetworkNamespace &network_;
    const QString address_;
    const QString clients_;
    QTemporaryDir folder_;
    QProcess process_;
    pid_t pid_ = -1;
};
