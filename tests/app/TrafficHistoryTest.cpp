// The traffic history behind the settings: what the totals gained reaches the
// history once the settings file holds it, never before; what a crash left
// it short of comes back at the next start.
#include "tests/support/controller/ControllerFixture.h"

#include "WBLib/WBBKMGTFormatter.h"
#include "charts/CycleChart.h"
#include "history/HistoryStore.h"
#include "platform/system/UserDefaults.h"
#include "tests/support/LoopWaits.h"

namespace flowtally {

namespace {

// The world in force, where no file can be written while `failing` is set.
class FailingWrites : public EnvironmentWrapper {
  public:
    FailingWrites() : EnvironmentWrapper(Environment::current()) {}
    Status writeFileAtomically(const QString &path, const QByteArray &data) override {
        if (failing)
            return Status::ioError("the disk is full");
        return EnvironmentWrapper::writeFileAtomically(path, data);
    }
    std::atomic<bool> failing = false;

  private:
    ScopedEnvironment scope_{*this};
};

class TrafficHistory : public ControllerFixture {
  protected:
    // The history's bytes of the network since its reset date (the one in
    // force by default), and with `free` the part of them counted in free
    // hours; none without a history.
    std::optional<TrafficTotals> historySinceReset(TrafficTotals *free = nullptr,
                                                   const QString &service = kService,
                                                   QDateTime resetDate = {}) {
        HistoryStore::Options options;
        options.readOnly = true;
        std::unique_ptr<HistoryStore> store;
        TrafficTotals totals;
        if (!resetDate.isValid())
            resetDate = controller->resetDate();
        if (!HistoryStore::open(HistoryStore::standardPath(), options, &store).ok() ||
            !store->bytesSince(service, resetDate, &totals, free).ok())
            return std::nullopt;
        return totals;
    }
    // Samples that count, the record stored, and the settings written.
    void count(quint64 from, quint64 to) {
        for (quint64 in = from; in <= to; in += (to - from) / 4)
            controller->processStatsDict(sample('L', in, in / 2, seconds += 2));
        controller->doWriteToDisk();
    }
    double seconds = 0;
};

// Free hours all day long: every byte counted is free, in the record and in
// the history alike; once they are taken away in the preferences, the
// period's bytes are all billed, in both alike. The history holds what the
// settings file holds, never more; the cycle chart says what the window
// says: its bars add up to the totals and its title tells them while the
// history waits for a write, and after it; after a reset it tells zero at
// once, and marks the reset once counting began again.
TEST_F(TrafficHistory, FollowsTheSettingsAndTheFreeHoursAndTheCycleChartTheTotals) {
    FailingWrites failing; // over the fixture's world
    const QVariantList allDay{QVariantMap{{"start", quint64(0)}, {"end", quint64(720)}},
                              QVariantMap{{"start", quint64(720)}, {"end", quint64(0)}}};
    controller->startHistory();
    controller->loadPersistentValuesFromDict(
        {{"resetDate", base.addDays(-3)}, {"freeHours", allDay}});
    count(10000, 30000);
    ASSERT_TRUE(UserDefaults::standardUserDefaults().synchronize().ok());
    const QVariantMap stored = UserDefaults::standardUserDefaults().objectForKey(kService).toMap();
    TrafficTotals free;
    const std::optional<TrafficTotals> history = historySinceReset(&free);
    ASSERT_TRUE(history);
    EXPECT_GT(history->in, 0u);
    EXPECT_EQ(free.in, history->in);
    EXPECT_EQ(free.out, history->out);
    EXPECT_EQ(stored.value("freeInBytes").toULongLong(), free.in);
    EXPECT_EQ(stored.value("freeOutBytes").toULongLong(), free.out);
    controller->setFreeWindows({});
    ASSERT_TRUE(UserDefaults::standardUserDefaults().synchronize().ok());
    EXPECT_TRUE(runLoopUntil([&] {
        historySinceReset(&free);
        return free.in == 0 &&
               controller->dictionaryFromPersistentValues().value("freeInBytes", 0) == 0;
    }));
    EXPECT_EQ(free.out, 0u);
    EXPECT_FALSE(UserDefaults::standardUserDefaults().objectForKey(kService).toMap().contains(
        "freeOutBytes"));

    const quint64 writtenIn = controller->totalInBytes();
    failing.failing = true;
    count(40000, 4000000);
    EXPECT_FALSE(UserDefaults::standardUserDefaults().synchronize().ok());
    ASSERT_GT(controller->totalInBytes(), writtenIn);
    const std::optional<TrafficTotals> before = historySinceReset();
    ASSERT_TRUE(before);
    EXPECT_EQ(before->in, writtenIn) << "the history ran ahead of the settings";
    const CycleChart *chart = windows().mainWindowWidget()->findChild<CycleChart *>();
    ASSERT_TRUE(chart);
    const auto titleTells = [&](quint64 total) {
        return chart->title().contains(
            ": " + WBBKMGTFormatter::stringForObjectValue(double(total), 2) + " used");
    };
    const auto shows = [&](quint64 total) {
        quint64 bars = 0;
        for (const CycleDay &day : chart->days())
            bars += day.in + day.out;
        EXPECT_EQ(bars, total) << chart->title().toStdString();
        EXPECT_TRUE(titleTells(total)) << chart->title().toStdString();
    };
    shows(controller->totalInBytes() + controller->totalOutBytes());
    failing.failing = false;
    ASSERT_TRUE(UserDefaults::standardUserDefaults().synchronize().ok());
    const std::optional<TrafficTotals> after = historySinceReset();
    ASSERT_TRUE(after);
    EXPECT_EQ(after->in, controller->totalInBytes());
    EXPECT_EQ(after->out, controller->totalOutBytes());
    shows(controller->totalInBytes() + controller->totalOutBytes());

    controller->doResetTotalsNow();
    ASSERT_EQ(controller->totalInBytes(), 0u);
    EXPECT_TRUE(titleTells(0)) << chart->title().toStdString();
    controller->processStatsDict(sample('L', 5000000, 2000000, seconds += 2));
    controller->processStatsDict(sample('L', 6000000, 2500000, seconds += 2));
    const quint64 sinceReset = controller->totalInBytes() + controller->totalOutBytes();
    ASSERT_GT(sinceReset, 0u);
    EXPECT_TRUE(titleTells(sinceReset)) << chart->title().toStdString();
    const qsizetype marks =
        std::count_if(chart->days().begin(), chart->days().end(),
                      [](const CycleDay &day) { return day.resetAt.has_value(); });
    EXPECT_EQ(marks, 1);
}

TEST_F(TrafficHistory, StartBringsTheHistoryInLineWithTheRecords) {
    const QDateTime periodStart = base.addDays(-5);
    UserDefaults::standardUserDefaults().setObject(kService,
                                                   QVariantMap{{"PrimaryService", kService},
                                                               {"resetDate", periodStart},
                                                               {"totalInBytes", quint64(123456)},
                                                               {"totalOutBytes", quint64(7890)},
                                                               {"freeInBytes", quint64(3456)},
                                                               {"freeOutBytes", quint64(90)}});
    controller->startLogging();
    ASSERT_TRUE(UserDefaults::standardUserDefaults().synchronize().ok());
    EXPECT_EQ(controller->resetDate(), periodStart);
    TrafficTotals free;
    const std::optional<TrafficTotals> history = historySinceReset(&free);
    ASSERT_TRUE(history) << "no history after the start: "
                         << environment.logLines().join('\n').toStdString();
    EXPECT_EQ(history->in, 123456u);
    EXPECT_EQ(history->out, 7890u);
    EXPECT_EQ(free.in, 3456u);
    EXPECT_EQ(free.out, 90u);
}

// Metering stopped and started again (as the Preferences window does) with
// a sample counted since the last write: its bytes are in the totals and the
// history once, not again from the stored last reading.
TEST_F(TrafficHistory, AStopAndStartCountsTheBytesSinceTheLastWriteOnce) {
    controller->startHistory();
    controller->loadPersistentValuesFromDict({{"resetDate", base.addDays(-3)}});
    count(10000, 30000);
    controller->processStatsDict(sample('L', 40000, 20000, seconds += 2));
    controller->stopLogging();
    controller->startLogging();
    ASSERT_TRUE(runLoopUntil([&] { return !controller->isWorking(); }));
    controller->processStatsDict(sample('L', 50000, 25000, seconds += 2));
    EXPECT_EQ(controller->totalInBytes(), 35000u) << "the counter rose from 15000 to 50000";
    controller->doWriteToDisk();
    ASSERT_TRUE(UserDefaults::standardUserDefaults().synchronize().ok());
    EXPECT_TRUE(runLoopUntil([&] {
        const std::optional<TrafficTotals> written = historySinceReset();
        return written && written->in >= controller->totalInBytes();
    }));
    const std::optional<TrafficTotals> history = historySinceReset();
    ASSERT_TRUE(history);
    EXPECT_EQ(history->in, controller->totalInBytes());
    EXPECT_EQ(history->out, controller->totalOutBytes());
}

// The interface is renamed between two samples: a new network to Flowtally,
// the same counters. What they moved meanwhile belongs to the network that
// read them last, in its record and its history, and in no other history.
TEST_F(TrafficHistory, BytesMovedForTheLastNetworkReachItsHistoryOnly) {
    const auto read = [&](const char *interface, const QString &service, quint64 in) {
        TrafficSample counted = sample('L', in, in / 2, seconds += 2, 0, service);
        counted.insert(SampleKey::PrimaryInterface, QString::fromLatin1(interface));
        counted.insert(SampleKey::KernelIndex, 2u);
        counted.insert(SampleKey::BootID, QStringLiteral("boot-1"));
        return counted;
    };
    controller->startHistory();
    controller->loadPersistentValuesFromDict({{"resetDate", base.addDays(-1)}});
    for (const quint64 in : {10000, 20000, 30000})
        controller->processStatsDict(read("eth0", kService, in));
    controller->doWriteToDisk();
    useNetwork(kOffice);
    controller->setPrimaryService(kOtherService);
    controller->readDatFile();
    for (const quint64 in : {50000, 60000})
        controller->processStatsDict(read("eth1", kOtherService, in));
    controller->doWriteToDisk();
    ASSERT_TRUE(UserDefaults::standardUserDefaults().synchronize().ok());
    for (const auto &[service, counted] : {std::pair{kService, 30000u}, {kOtherService, 10000u}}) {
        SCOPED_TRACE(service.toStdString());
        const QVariantMap record =
            UserDefaults::standardUserDefaults().objectForKey(service).toMap();
        EXPECT_EQ(record.value("totalInBytes").toULongLong(), counted);
        const std::optional<TrafficTotals> history =
            historySinceReset(nullptr, service, record.value("resetDate").toDateTime());
        ASSERT_TRUE(history);
        EXPECT_EQ(history->in, counted);
    }
}

} // namespace

} // namespace flowtally
