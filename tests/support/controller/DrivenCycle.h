#pragma once

#include "app/AppDelegate.h"
#include "tests/support/ScriptFolder.h"
#include "tests/support/TestEnvironment.h"

#include <QDateTime>

#include <atomic>

namespace flowtally {

// The real work cycle driven tick by tick as fast as it goes, for tests
// that need thousands of ticks: lean tools (shell builtins only) whose
// netstat prints the counters the test sets, an arp that names no address
// and SNMP tools that answer nothing (the router on loopback is silent),
// and a clock that moves on 1.5 s a tick, so that every sample counts.
// Installs all of it into the environment for as long as it lives.
class DrivenCycle {
  public:
    DrivenCycle(TestEnvironment &environment, ScriptFolder &tools);
    ~DrivenCycle();
    DrivenCycle(const DrivenCycle &) = delete;
    DrivenCycle &operator=(const DrivenCycle &) = delete;

    // What the netstat tool prints from now on.
    void setCounters(quint64 in, quint64 out);

    // One tick: the clock moves on, doWork() starts the worker, and the main
    // loop runs until the worker has ended and its sample was processed
    // (10 s at most); then the write timer's work, as often as its 2.0 s
    // timer fires at 1.5 s a tick. Whether the sample came and was taken.
    bool tick(AppDelegate &controller);

  private:
    TestEnvironment &environment_;
    QString countersPath_;
    std::atomic<qint64> clock_;
    qint64 ticks_ = 0;
};

} // namespace flowtally
