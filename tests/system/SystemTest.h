#pragma once

#include "FlowtallyProcess.h"
#include "StoredRecords.h"
#include "TcpConnection.h"
#include "TestLan.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

using StoredRecords = std::map<QString, StoredRecord>;

// The scene of a system test: a LAN of its own (TestLan), a settings home
// for Flowtally in a temporary folder, and Flowtally itself run there, one
// run at a time. Skipped where namespaces cannot be had. Flowtally is
// killed, the network removed and the folder deleted however the test ends;
// a failing test prints what Flowtally logged.
class SystemTest : public ::testing::Test {
  public:
    // Traffic of Flowtally's own (one SNMP probe a tick and its answer)
    // that may pass between its last stored sample and a look at the kernel.
    static constexpr quint64 kProbeSlack = 16 * 1024;
    static constexpr quint64 kMiB = 1024 * 1024;

  protected:
    void SetUp() override;
    void TearDown() override;

    const TestLan &network() const { return *network_; }
    QString settingsFolder() const; // $XDG_CONFIG_HOME/flowtally
    QString defaultsPath() const;

    // Starts a new run of Flowtally in the LAN namespace.
    void launch();
    FlowtallyProcess &flowtally() { return *flowtally_; }
    // SIGTERM: the run must end by itself, with status 0.
    void quit();
    // SIGKILL.
    void crash();

    InterfaceCounters counters();
    // Moves data over TCP between the LAN host and its router.
    void pushTraffic(quint64 up, quint64 down);
    TcpConnection &connection();

    StoredRecords records() const;
    // Waits until the stored records meet the condition, while Flowtally
    // runs and for 30 s at most; the records then, or nothing. Every
    // distinct record read on the way is kept (observed()).
    std::optional<StoredRecords>
    waitForRecords(const std::function<bool(const StoredRecords &)> &condition);
    // The same for the record of one service, or for the only record.
    std::optional<StoredRecord>
    waitForRecord(const std::function<bool(const StoredRecord &)> &condition,
                  const QString &key = {});
    // Waits until Flowtally has stored a sample of the service (or of the
    // only one) taken when the counters had reached the given values.
    std::optional<StoredRecord> waitForSampleAfter(const InterfaceCounters &counters,
                                                   const QString &key = {});
    // Every distinct sampled state of a service's record seen so far.
    std::vector<StoredRecord> observed(const QString &key) const;

    // Waits, while Flowtally runs and for 30 s at most, until the condition
    // holds; whether it did.
    bool waitUntil(const std::function<bool()> &condition);

    // Waits until Flowtally has begun that many more work ticks, seen by
    // its probes: each tick sends the router one SNMP datagram, so the LAN
    // host's sent counter moves once a tick while the test sends nothing.
    bool waitForTicks(int ticks);

    // Lets Flowtally run for a while without looking.
    static void pause(std::chrono::milliseconds duration);

  private:
    void showLogs() const;

    QTemporaryDir folder_;
    std::unique_ptr<TestLan> network_;
    std::unique_ptr<TcpConnection> connection_;
    std::unique_ptr<FlowtallyProcess> flowtally_;
    QStringList logPaths_;
    std::vector<StoredRecord> observed_;
};

// Checks one record against the rules every stored record keeps: all keys
// of their types, stored under its own service identifier, a reset date
// set (the service has been sampled), and counted from the given bases.
void expectConsistent(const StoredRecord &record, quint64 inBase, quint64 outBase);
// Checks that the record holds a sample taken lately: its counters are the
// kernel's of now, less Flowtally's own probes since.
void expectRecent(const StoredRecord &record, const InterfaceCounters &kernelNow);
