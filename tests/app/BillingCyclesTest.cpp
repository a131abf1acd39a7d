// A network's totals begin anew on the first day of its billing cycle: at
// the first tick after the cycle began, once, undoably.
#include "tests/support/controller/ControllerFixture.h"

#include "record/DistantPast.h"
#include "tests/support/LoopWaits.h"

#include <QLabel>
#include <QTimeZone>
#include <QUndoStack>

namespace flowtally {

namespace {

class BillingCycles : public ControllerFixture {
  protected:
    void SetUp() override {
        ControllerFixture::SetUp();
        environment.setTimeZone(zone);
        environment.setClock([this] { return now; });
    }

    // A network counting since `start`, with a cycle starting on `day`.
    void counting(const QDateTime &start, int day) {
        controller->loadPersistentValuesFromDict({{"resetDate", start},
                                                  {"totalInBytes", quint64(1000)},
                                                  {"totalOutBytes", quint64(2000)},
                                                  {"cycleStartDay", quint64(day)}});
    }
    // One tick of the work cycle, to its end.
    void tick() {
        controller->doWork();
        ASSERT_TRUE(runLoopUntil([&] { return !controller->isWorking(); }));
    }
    bool wasReset() const { return controller->totalInBytes() == 0; }
    QDateTime at(int year, int month, int day, int hour = 12) const {
        return QDateTime(QDate(year, month, day), QTime(hour, 0), zone);
    }

    const QTimeZone zone{"Europe/Berlin"};
    QDateTime now;
};

// At the first tick of the cycle, once and undoably. A clock set ahead over
// the cycle's start and back: the reset it made early is undone, nothing
// lost (also after a restart meanwhile), and the reset comes when the cycle
// really begins.
TEST_F(BillingCycles, ResetsAtTheFirstTickOfTheCycleOnceUndoablyAndNotForAClockAhead) {
    // The cycle's day begins at midnight in the local zone, not in UTC. (Which
    // days start a cycle and when a reset is due: BillingCycleTest.)
    // clang-format off
    const struct { const char *what; QDateTime start, now; int day; bool reset; const char *left; } cases[] = {
        {"the cycle began this morning", at(2025, 2, 10), at(2025, 3, 10, 0), 10, true, "· 31 days left"},
        {"not yet: a day to go", at(2025, 2, 10), at(2025, 3, 9, 23), 10, false, "· 1 day left"},
        {"the period began inside this cycle", at(2025, 3, 6), at(2025, 3, 20), 5, false, "· 16 days left"},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        windows().undoStack()->clear();
        environment.clearLog();
        now = c.now;
        counting(c.start, c.day);
        ASSERT_NO_FATAL_FAILURE(tick());
        EXPECT_EQ(wasReset(), c.reset);
        EXPECT_EQ(environment.logLinesContaining("A new billing cycle").size(), c.reset ? 1 : 0);
        // The cycle line counts the days left. (Its words: BadgeTextTest.)
        windows().showCycle(Meter::Figures{}, now);
        const QString line = outlet<QLabel>("cycleText")->text();
        EXPECT_TRUE(line.endsWith(QString::fromUtf8(c.left))) << line;
        if (!c.reset)
            continue;
        EXPECT_EQ(controller->resetDate(), distantPast());
        EXPECT_EQ(windows().undoStack()->undoText(), "\"Reset Totals\"");
        ASSERT_NO_FATAL_FAILURE(tick());
        windows().undoStack()->undo();
        EXPECT_EQ(controller->totalInBytes(), 1000u);
        EXPECT_EQ(controller->resetDate(), c.start);
        ASSERT_NO_FATAL_FAILURE(tick());
        EXPECT_FALSE(wasReset()) << "an undone reset came again";
        EXPECT_EQ(environment.logLinesContaining("A new billing cycle").size(), 1);
    }
    // The day changed in the middle of the last cycle (from the 5th, the
    // period began on the 6th): one still to come waits for its day, one
    // passed since the period began resets at the next tick.
    controller->setCycleStartDay(21);
    ASSERT_NO_FATAL_FAILURE(tick());
    EXPECT_FALSE(wasReset());
    controller->setCycleStartDay(8);
    ASSERT_NO_FATAL_FAILURE(tick());
    EXPECT_TRUE(wasReset());

    for (const bool restartedMeanwhile : {false, true}) {
        SCOPED_TRACE(restartedMeanwhile ? "restarted while ahead" : "running");
        controller = std::make_unique<AppDelegate>();
        controller->setPrimaryService(kService);
        environment.clearLog();
        now = at(2025, 3, 20);
        counting(at(2025, 3, 15, 0), 15);
        ASSERT_NO_FATAL_FAILURE(tick());
        ASSERT_FALSE(wasReset());
        now = at(2025, 4, 16);
        ASSERT_NO_FATAL_FAILURE(tick());
        ASSERT_TRUE(wasReset());
        if (restartedMeanwhile) {
            controller->storeRecordNow();
            controller = std::make_unique<AppDelegate>();
            controller->setPrimaryService(kService);
            controller->readDatFile();
        }
        now = at(2025, 3, 20, 13);
        ASSERT_NO_FATAL_FAILURE(tick());
        EXPECT_EQ(controller->totalInBytes(), 1000u);
        EXPECT_EQ(controller->totalOutBytes(), 2000u);
        EXPECT_EQ(controller->resetDate(), at(2025, 3, 15, 0));
        EXPECT_EQ(environment.logLinesContaining("The clock went back").size(), 1);
        ASSERT_NO_FATAL_FAILURE(tick());
        EXPECT_FALSE(wasReset());
        now = at(2025, 4, 15, 0);
        ASSERT_NO_FATAL_FAILURE(tick());
        EXPECT_TRUE(wasReset()) << "the cycle's real start gave no reset";
        EXPECT_EQ(environment.logLinesContaining("A new billing cycle").size(), 2);
    }
}

} // namespace

} // namespace flowtally
