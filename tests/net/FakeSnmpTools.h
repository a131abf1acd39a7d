#pragma once

#include "ScriptFolder.h"

#include <QString>
#include <QStringList>

#include <vector>

// Stand-ins for snmpget and snmpwalk: scripts that print a saved reply for
// the object named by their last argument (nothing for an object without
// one) and write down every run. The tool table points at them while the
// object lives.
class FakeSnmpTools {
  public:
    // One run: the tool ("snmpget" or "snmpwalk"), then its arguments.
    using Run = QStringList;

    FakeSnmpTools();
    ~FakeSnmpTools();
    FakeSnmpTools(const FakeSnmpTools &) = delete;
    FakeSnmpTools &operator=(const FakeSnmpTools &) = delete;

    // What both tools print, byte for byte, when asked for the object.
    void reply(const QString &object, const QString &text);
    // The runs since the last call, in order.
    std::vector<Run> takeRuns();

  private:
    ScriptFolder scripts_;
};
