#include "SystemTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <iostream>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::seconds kWait{30};
constexpr std::chrono::milliseconds kPoll{200};
// Well below the time a probe takes to come round again.
constexpr std::chrono::milliseconds kTickPoll{100};

// A distant-past reset date is stored as something long before this.
const QDateTime kLongAgo(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);

} // namespace

void SystemTest::SetUp() {
    const QString unavailable = NetworkNamespace::unavailableReason();
    if (!unavailable.isEmpty())
        GTEST_SKIP() << "System tests need network namespaces: " << unavailable.toStdString();
    ASSERT_TRUE(QFileInfo(FlowtallyProcess::programPath()).isExecutable())
        << "no program at " << FlowtallyProcess::programPath().toStdString()
        << " (FLOWTALLY_BIN_DIR)";
    ASSERT_TRUE(folder_.isValid());
    ASSERT_TRUE(QDir().mkpath(folder_.filePath(QStringLiteral("config"))));
    network_ = std::make_unique<TestLan>();
    ASSERT_TRUE(network_->failure().isEmpty()) << network_->failure().toStdString();
}

void SystemTest::TearDown() {
    if (HasFailure())
        showLogs();
}

void SystemTest::showLogs() const {
    for (const QString &path : logPaths_) {
        QFile log(path);
        if (log.open(QIODevice::ReadOnly)) {
            std::cout << "---- " << QFileInfo(path).fileName().toStdString() << '\n'
                      << log.readAll().toStdString() << "----\n";
        }
    }
}

QString SystemTest::settingsFolder() const {
    return folder_.filePath(QStringLiteral("config/flowtally"));
}

QString SystemTest::defaultsPath() const {
    return settingsFolder() + QStringLiteral("/defaults.plist");
}

void SystemTest::launch() {
    ASSERT_TRUE(!flowtally_ || !flowtally_->isRunning()) << "one run at a time";
    const QString log = folder_.filePath(QStringLiteral("run-%1.log").arg(logPaths_.size() + 1));
    logPaths_ << log;
    flowtally_ = std::make_unique<FlowtallyProcess>(
        network_->lan(), folder_.filePath(QStringLiteral("config")), log);
    QString error;
    ASSERT_TRUE(flowtally_->start(&error)) << error.toStdString();
}

void SystemTest::quit() {
    ASSERT_TRUE(flowtally_);
    ASSERT_TRUE(flowtally_->isRunning()) << "Flowtally ended before it was asked to";
    ASSERT_TRUE(flowtally_->terminate()) << "Flowtally did not quit on SIGTERM";
    EXPECT_TRUE(flowtally_->exitedByItself()) << "Flowtally crashed while quitting";
    EXPECT_EQ(flowtally_->exitCode(), 0);
}

void SystemTest::crash() {
    ASSERT_TRUE(flowtally_);
    ASSERT_TRUE(flowtally_->isRunning()) << "Flowtally ended before it was killed";
    ASSERT_TRUE(flowtally_->kill());
}

InterfaceCounters SystemTest::counters() {
    const auto counters = network_->counters();
    EXPECT_TRUE(counters) << "cannot read the counters of " << TestLan::kLanInterface.toStdString();
    return counters.value_or(InterfaceCounters{});
}

TcpConnection &SystemTest::connection() {
    if (!connection_) {
        connection_ = std::make_unique<TcpConnection>(network_->lan(), network_->peer(),
                                                      network_->routerAddress());
    }
    return *connection_;
}

void SystemTest::pushTraffic(quint64 up, quint64 down) {
    TcpConnection &tcp = connection();
    ASSERT_TRUE(tcp.exchange(up, down)) << tcp.error().toStdString();
}

StoredRecords SystemTest::records() const {
    return readStoredRecords(defaultsPath()).value_or(StoredRecords{});
}

bool SystemTest::waitUntil(const std::function<bool()> &condition) {
    const Clock::time_point deadline = Clock::now() + kWait;
    for (;;) {
        if (condition())
            return true;
        if (Clock::now() >= deadline || !flowtally_ || !flowtally_->isRunning())
            return false;
        QThread::msleep(kPoll.count());
    }
}

std::optional<StoredRecords>
SystemTest::waitForRecords(const std::function<bool(const StoredRecords &)> &condition) {
    std::optional<StoredRecords> met;
    waitUntil([&] {
        StoredRecords now = records();
        for (const auto &[key, record] : now) {
            if (std::find(observed_.begin(), observed_.end(), record) == observed_.end())
                observed_.push_back(record);
        }
        if (condition(now))
            met = std::move(now);
        return met.has_value();
    });
    return met;
}

std::optional<StoredRecord>
SystemTest::waitForRecord(const std::function<bool(const StoredRecord &)> &condition,
                          const QString &key) {
    const auto meets = [&](const StoredRecords &all) {
        if (key.isEmpty())
            return all.size() == 1 && condition(all.begin()->second);
        const auto found = all.find(key);
        return found != all.end() && condition(found->second);
    };
    const auto all = waitForRecords(meets);
    if (!all)
        return std::nullopt;
    return key.isEmpty() ? all->begin()->second : all->at(key);
}

std::optional<StoredRecord> SystemTest::waitForSampleAfter(const InterfaceCounters &counters,
                                                           const QString &key) {
    return waitForRecord(
        [&](const StoredRecord &record) {
            return record.prevInVal() >= counters.received && record.prevOutVal() >= counters.sent;
        },
        key);
}

std::vector<StoredRecord> SystemTest::observed(const QString &key) const {
    std::vector<StoredRecord> found;
    std::copy_if(observed_.begin(), observed_.end(), std::back_inserter(found),
                 [&](const StoredRecord &record) { return record.key == key && record.sampled(); });
    return found;
}

bool SystemTest::waitForTicks(int ticks) {
    quint64 sent = counters().sent;
    int seen = 0;
    const Clock::time_point deadline = Clock::now() + kWait;
    while (seen < ticks && Clock::now() < deadline && flowtally_ && flowtally_->isRunning()) {
        QThread::msleep(kTickPoll.count());
        const quint64 now = counters().sent;
        if (now != sent)
            ++seen;
        sent = now;
    }
    return seen >= ticks;
}

void SystemTest::pause(std::chrono::milliseconds duration) {
    QThread::msleep(static_cast<unsigned long>(duration.count()));
}

void expectConsistent(const StoredRecord &record, quint64 inBase, quint64 outBase) {
    SCOPED_TRACE("record of " + record.key.toStdString());
    EXPECT_TRUE(record.faults().isEmpty()) << record.faults().join("; ").toStdString();
    EXPECT_EQ(record.primaryService().toStdString(), record.key.toStdString());
    EXPECT_GT(record.resetDate(), kLongAgo) << "no reset date, yet the service was sampled";
    EXPECT_EQ(record.inBase(), inBase)
        << "incoming total " << record.totalInBytes() << " does not match counter "
        << record.prevInVal() << ": bytes lost or counted twice";
    EXPECT_EQ(record.outBase(), outBase)
        << "outgoing total " << record.totalOutBytes() << " does not match counter "
        << record.prevOutVal() << ": bytes lost or counted twice";
}

void expectRecent(const StoredRecord &record, const InterfaceCounters &kernelNow) {
    SCOPED_TRACE("record of " + record.key.toStdString());
    EXPECT_LE(record.prevInVal(), kernelNow.received) << "a counter from the future";
    EXPECT_LE(record.prevOutVal(), kernelNow.sent) << "a counter from the future";
    EXPECT_LE(kernelNow.received - record.prevInVal(), SystemTest::kProbeSlack)
        << "the stored sample is not the last one";
    EXPECT_LE(kernelNow.sent - record.prevOutVal(), SystemTest::kProbeSlack)
        << "the stored sample is not the last one";
}
