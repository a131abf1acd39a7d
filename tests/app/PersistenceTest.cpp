// The per-service records: the registration defaults, no record without a
// network, writing and loading every value, reset with undo.
#include "tests/support/controller/ControllerFixture.h"

#include "platform/system/UserDefaults.h"
#include "record/DistantPast.h"
#include "tests/support/LoopWaits.h"

#include <QUndoStack>

namespace flowtally {

namespace {

// clang-format off
const QVariantMap kBusyRecord{
    {"resetDate", QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC)}, {"totalInBytes", quint64(0xFFFF'FFFF'FFFF'FFFFull)},
    {"totalOutBytes", quint64(5'000'000'000ull)}, {"prevInVal", quint64(1ull << 40)}, {"prevOutVal", quint64(3)},
    {"PrimaryService", DynamicStore::serviceIdentifier("eth0", "02:00:00:00:00:aa")}, {"limitUnitsScale", quint64(1ull << 40)},
    {"gbpmLimit", 1.5e12}, {"prevValSource", "router"}, {"prevUptime", 1234.5}};
// clang-format on

using Persistence = ControllerFixture;

// A fresh service starts from the registration defaults. Without a network
// the values stay in memory, stored nowhere; with one, every value is
// written and loaded back, and a reset undone puts it back.
TEST_F(Persistence, FreshServiceStartsFromTheDefaultsAndEveryValueIsWrittenLoadedAndPutBack) {
    environment.clearLog();
    controller->readDatFile();
    EXPECT_EQ(controller->resetDate(), distantPast());
    EXPECT_EQ(controller->prevInVal() + controller->totalOutBytes(), 0u);
    EXPECT_EQ(controller->limitUnitsScale(), quint64(1) << 30);
    // The settings among the defaults are no part of a record; the community
    // string is a password and never reaches the log.
    EXPECT_EQ(environment.logLinesContaining("for undefined key: ").size(), 3)
        << environment.logLines().join('\n');
    EXPECT_TRUE(environment.logLinesContaining("public").isEmpty());

    controller->loadPersistentValuesFromDict(kBusyRecord);
    useNetwork(std::nullopt);
    controller->setPrimaryService(std::nullopt);
    controller->doWriteToDisk();
    EXPECT_FALSE(UserDefaults::standardUserDefaults().objectForKey(QString()).isValid());
    EXPECT_FALSE(UserDefaults::standardUserDefaults().objectForKey(kService).isValid());
    EXPECT_EQ(controller->totalOutBytes(), 5'000'000'000ull);

    useNetwork(kHome);
    controller->setPrimaryService(kService);
    controller->doWriteToDisk();
    EXPECT_EQ(UserDefaults::standardUserDefaults().objectForKey(kService).toMap(), kBusyRecord);
    {
        AppDelegate other;
        other.readDatFile();
        EXPECT_EQ(other.dictionaryFromPersistentValues(), kBusyRecord);
    }

    const double shownLimit = outlet("displayLimitGB")->doubleValue();
    useNetwork(kOffice);
    controller->doResetTotalsNow();
    EXPECT_EQ(controller->totalInBytes() + controller->prevInVal(), 0u);
    EXPECT_EQ(controller->resetDate(), distantPast());
    EXPECT_EQ(controller->primaryService(), kOtherService) << "the reset takes the current service";
    EXPECT_EQ(outlet("displayLimitGB")->doubleValue(), shownLimit);
    QUndoStack *undo = windows().undoStack();
    EXPECT_EQ(undo->undoText(), "\"Reset Totals\"");
    undo->undo();
    EXPECT_EQ(controller->dictionaryFromPersistentValues(), kBusyRecord);
    EXPECT_FALSE(undo->canRedo()) << "putting a record back is not undoable itself";
}

// A reset undone after a move to another network gives the network that was
// reset its totals back with what it counted since; the one metered now
// keeps its own.
TEST_F(Persistence, AResetUndoneOnAnotherNetworkGivesTheResetNetworkItsBytes) {
    controller->loadPersistentValuesFromDict({{"PrimaryService", kService},
                                              {"resetDate", base.addDays(-3)},
                                              {"totalInBytes", quint64(5000)},
                                              {"totalOutBytes", quint64(500)}});
    controller->processStatsDict(sample('L', 900, 900, 0));
    controller->processStatsDict(sample('L', 1000, 1000, 2));
    controller->doResetTotalsNow();
    controller->processStatsDict(sample('L', 3000, 1100, 4));
    ASSERT_EQ(controller->totalInBytes(), 2000u);
    useNetwork(kOffice);
    controller->doWork();
    ASSERT_TRUE(runLoopUntil([&] { return !controller->isWorking(); }));
    ASSERT_EQ(controller->primaryService(), kOtherService);
    controller->processStatsDict(sample('L', 4000, 1200, 6, 0, kOtherService));
    ASSERT_EQ(controller->totalInBytes(), 1000u);
    windows().undoStack()->undo();
    EXPECT_EQ(controller->primaryService(), kOtherService);
    EXPECT_EQ(controller->totalInBytes(), 1000u);
    const QVariantMap home = UserDefaults::standardUserDefaults().objectForKey(kService).toMap();
    EXPECT_EQ(home.value("totalInBytes").toULongLong(), 7000u);
    EXPECT_EQ(home.value("totalOutBytes").toULongLong(), 600u);
    EXPECT_EQ(home.value("resetDate").toDateTime(), base.addDays(-3));
}

// A network's plan is its own: its free hours, what it counts and when it
// alerts never reach the next network, with a record or without one, and
// come back with its own record.
TEST_F(Persistence, ANetworksPlanStaysWithIt) {
    const QVariantMap plan{
        {"freeHours", QVariantList{QVariantMap{{"start", quint64(60)}, {"end", quint64(360)}}}},
        {"countedTraffic", "internet"},
        {"alertOnlyOnMetered", true},
        {"cycleStartDay", quint64(12)}};
    QVariantMap home = plan;
    home.insert({{"PrimaryService", kService}, {"resetDate", base.addDays(-2)}});
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    defaults.setObject(kService, home);
    const auto meterOn = [&](const FakeNetwork &network, const QString &service) {
        useNetwork(network);
        controller->setPrimaryService(service);
        controller->readDatFile();
        return controller->dictionaryFromPersistentValues();
    };
    for (const bool officeHasARecord : {true, false}) {
        SCOPED_TRACE(officeHasARecord ? "with a record" : "without one");
        if (officeHasARecord)
            defaults.setObject(kOtherService, QVariantMap{{"PrimaryService", kOtherService},
                                                          {"resetDate", base.addDays(-1)}});
        else
            defaults.removeObject(kOtherService);
        ASSERT_EQ(meterOn(kHome, kService).value("countedTraffic"), "internet");
        const QVariantMap office = meterOn(kOffice, kOtherService);
        for (const QString &key : plan.keys())
            EXPECT_FALSE(office.contains(key)) << key.toStdString();
        const QVariantMap back = meterOn(kHome, kService);
        for (const QString &key : plan.keys())
            EXPECT_EQ(back.value(key), plan.value(key)) << key.toStdString();
    }
}

} // namespace

} // namespace flowtally
