#pragma once

#include "history/HistoryStore.h"
#include "platform/system/PropertyList.h"
#include "tests/support/NetworkScene.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <csignal>
#include <thread>
#include <unistd.h>

namespace flowtally {

// One network service's record as Flowtally stored it in its defaults file.
struct Record {
    QString key;
    QVariantMap values;

    quint64 number(const char *name) const { return values.value(name).toULongLong(); }
    InterfaceCounters total() const { return {number("totalInBytes"), number("totalOutBytes")}; }
    InterfaceCounters prev() const { return {number("prevInVal"), number("prevOutVal")}; }
    // Each accepted sample adds the counter's growth to the total and keeps
    // the counter: counter minus total stays the counter at the service's
    // first sample, over a run and across runs.
    InterfaceCounters base() const { return prev() - total(); }
    QString source() const { return values.value("prevValSource").toString(); }
    bool sampled() const { return prev().received != 0 || prev().sent != 0; }
    bool operator==(const Record &) const = default;
};
using Records = std::map<QString, Record>;

// The scene: a Lan, a TCP connection over it, a settings home in a temporary
// folder, and Flowtally run offscreen in the LAN namespace, one run at a
// time. A failing test prints the log.
class SystemTest : public ::testing::Test {
  public:
    static constexpr quint64 kMiB = 1024 * 1024;
    // Flowtally's own probes and answers that may pass between its last
    // stored sample and a look at the kernel.
    static constexpr quint64 kSlack = 16 * 1024;

  protected:
    void SetUp() override {
        if (geteuid() != 0)
            GTEST_SKIP() << "system tests need root";
        ASSERT_TRUE(QDir().mkpath(settingsFolder()));
        lan = std::make_unique<Lan>();
        ASSERT_TRUE(lan->error.isEmpty()) << lan->error.toStdString();
        ASSERT_NO_FATAL_FAILURE(reconnect());
        setUpScene();
    }
    // What a fixture adds to the scene, once the LAN is there.
    virtual void setUpScene() {}
    // A new TCP connection from the LAN host to its router (the link may have
    // been made anew): each byte moved crosses the link once, headers on top.
    void reconnect() {
        ::close(client);
        ::close(server);
        const TcpConnection made = connectTcp(lan->peer, lan->lan, lan->router, 7777);
        client = made.client;
        server = made.server;
        // Counters of 0 read as "no value".
        ASSERT_TRUE(exchange(64 * 1024, 64 * 1024)) << "no TCP connection";
    }
    void TearDown() override {
        if (HasFailure())
            qInfo().noquote() << "---- log\n" + readFile(logPath()) + "----";
        flowtally.reset();
        traffic = std::jthread();
        ::close(client);
        ::close(server);
    }

    QString settingsFolder() const { return folder.filePath("config/flowtally"); }
    QString defaultsPath() const { return settingsFolder() + "/defaults.plist"; }
    // The settings Flowtally stored.
    QVariantMap storedSettings() const {
        return dictionaryWithContentsOfFile(defaultsPath()).value_or(QVariantMap());
    }
    QString logPath() const { return folder.filePath("run.log"); }

    // Runs the program in the namespace (`ip netns exec` becomes it), its
    // output appended to the log; it is killed when the object goes.
    std::unique_ptr<QProcess> start(const QString &ns, const QStringList &command) {
        return startLogged("ip", QStringList{"netns", "exec", ns} + command, logPath());
    }

    // The command that runs Flowtally offscreen, its settings, data and
    // runtime files in the test's folder, and its settings written within a
    // fifth of a second of a change (not ten seconds) unless the test needs
    // the real interval, as a kill amid unwritten bytes does; the variables
    // after those.
    QStringList flowtallyCommand(const QStringList &variables = {}) const {
        QStringList command{"env", "QT_QPA_PLATFORM=offscreen",
                            "XDG_CONFIG_HOME=" + folder.filePath("config"),
                            "XDG_DATA_HOME=" + folder.filePath("data"),
                            "XDG_RUNTIME_DIR=" + folder.filePath("runtime")};
        if (!realWriteInterval)
            command << "FLOWTALLY_TEST_WRITE_INTERVAL_MS=200";
        return command + variables +
               QStringList{QCoreApplication::applicationDirPath() + "/flowtally"};
    }
    // Starts Flowtally in the namespace (the LAN's unless given), run by
    // the command `before` if given (which ends by running its arguments).
    void launch(const QStringList &before = {}, const QString &ns = {}) {
        flowtally = start(ns.isEmpty() ? lan->lan : ns, before + flowtallyCommand());
        ASSERT_TRUE(isRunning(*flowtally)) << "Flowtally did not start";
    }
    void quit() {
        ASSERT_TRUE(isRunning(*flowtally)) << "Flowtally ended before it was asked to";
        ASSERT_TRUE(endProcess(*flowtally)) << "Flowtally did not quit on SIGTERM";
        EXPECT_TRUE(flowtally->exitStatus() == QProcess::NormalExit && flowtally->exitCode() == 0)
            << "Flowtally crashed while quitting";
    }

    // Moves `up` bytes to the router, then `down` bytes back, each read whole.
    bool exchange(quint64 up, quint64 down) {
        return moveBytes(client, server, up) && moveBytes(server, client, down);
    }
    void push(quint64 up, quint64 down) { ASSERT_TRUE(exchange(up, down)) << "traffic failed"; }
    // Then waits for a sample of the service (or of the only one) taken after them.
    void pushSampled(quint64 up, quint64 down, const QString &key = {}) {
        ASSERT_NO_FATAL_FAILURE(push(up, down));
        ASSERT_TRUE(waitForSample(counters(), key))
            << "the traffic of " << key.toStdString() << " was never sampled";
    }
    // Keeps data moving both ways, with short pauses, until stopped (a
    // minute at most); counts the exchanges.
    void startTraffic(quint64 chunk) {
        traffic = std::jthread([this, chunk](std::stop_token stop) {
            for (int i = 0; i < 1500 && !stop.stop_requested() && !trafficFailed;
                 ++i, ++exchanges) {
                trafficFailed = !exchange(chunk, chunk);
                QThread::msleep(40);
            }
        });
    }
    // Whether every exchange went through.
    bool stopTraffic() {
        traffic.request_stop();
        traffic.join();
        return !trafficFailed;
    }
    InterfaceCounters counters() const { return lan->hostCounters(); }

    // The stored records; every distinct sampled state read is kept in seen.
    Records records() {
        Records found;
        const QVariantMap all =
            dictionaryWithContentsOfFile(settingsRoot + defaultsPath()).value_or(QVariantMap());
        for (auto entry = all.constBegin(); entry != all.constEnd(); ++entry) {
            const Record record{entry.key(), entry.value().toMap()};
            if (record.values.contains("PrimaryService"))
                found.emplace(entry.key(), record);
            if (std::vector<Record> &states = seen[entry.key()];
                record.sampled() && std::find(states.begin(), states.end(), record) == states.end())
                states.push_back(record);
        }
        return found;
    }

    // Waits, 30 s at most and while Flowtally (if started) runs, until the
    // condition holds; whether it did.
    bool waitUntil(const std::function<bool()> &condition) {
        for (const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);;
             QThread::msleep(200)) {
            if (condition())
                return true;
            if (std::chrono::steady_clock::now() >= end || (flowtally && !isRunning(*flowtally)))
                return false;
        }
    }
    // The same for a stored sample of the service (or of the only one), from
    // the source if given, taken once the counters had reached the values.
    std::optional<Record> waitForSample(const InterfaceCounters &reached = {},
                                        const QString &key = {}, const QString &source = {}) {
        std::optional<Record> met;
        waitUntil([&] {
            const Records all = records();
            const auto found = key.isEmpty() && all.size() == 1 ? all.begin() : all.find(key);
            if (found != all.end() && found->second.sampled() &&
                found->second.prev().received >= reached.received &&
                found->second.prev().sent >= reached.sent &&
                (source.isEmpty() || found->second.source() == source))
                met = found->second;
            return met.has_value();
        });
        return met;
    }

    static void expectAtLeast(const InterfaceCounters &got, const InterfaceCounters &least) {
        EXPECT_GE(got.received, least.received) << "received";
        EXPECT_GE(got.sent, least.sent) << "sent";
    }
    // Later is earlier plus at most the slack, each way.
    static void expectSoonAfter(const InterfaceCounters &earlier, const InterfaceCounters &later,
                                quint64 slack = kSlack) {
        expectAtLeast({earlier.received + slack, earlier.sent + slack}, later);
        expectAtLeast(later, earlier);
    }
    // The rule every stored record keeps: counted from the given bases. (Its
    // values of their types, read back whole, its service among them:
    // Persistence.WriteThenLoadGivesBackEveryValue and NetworkRecord's tests;
    // a reset date once a network is metered: Meter's tests.)
    static void expectConsistent(const Record &record, const InterfaceCounters &base) {
        SCOPED_TRACE("record of " + record.key.toStdString());
        EXPECT_EQ(record.base().received, base.received) << "incoming bytes lost or counted twice";
        EXPECT_EQ(record.base().sent, base.sent) << "outgoing bytes lost or counted twice";
    }

    // The traffic history, which follows the settings' writes, holds the
    // record's totals since its reset, and its free ones.
    void expectHistoryHolds(const Record &record) const {
        std::unique_ptr<HistoryStore> history;
        ASSERT_TRUE(HistoryStore::open(folder.filePath("data/flowtally/history.sqlite3"),
                                       {.readOnly = true}, &history)
                        .ok());
        TrafficTotals since, sinceFree;
        ASSERT_TRUE(history
                        ->bytesSince(record.key, record.values.value("resetDate").toDateTime(),
                                     &since, &sinceFree)
                        .ok());
        EXPECT_EQ(since, (TrafficTotals{record.total().received, record.total().sent}))
            << "history and totals differ";
        EXPECT_EQ(sinceFree,
                  (TrafficTotals{record.number("freeInBytes"), record.number("freeOutBytes")}))
            << "history and free totals differ";
    }

    QTemporaryDir folder;
    // Whether the next start writes the settings at the program's own pace.
    bool realWriteInterval = false;
    // Where the test sees the root of the files Flowtally sees: the same
    // root, or Flowtally's mount namespace's (/proc/PID/root).
    QString settingsRoot;
    std::unique_ptr<Lan> lan;
    int client = -1, server = -1;
    std::unique_ptr<QProcess> flowtally;
    std::map<QString, std::vector<Record>> seen;
    std::atomic<int> exchanges{0};
    std::atomic<bool> trafficFailed{false};
    std::jthread traffic;
};

} // namespace flowtally
