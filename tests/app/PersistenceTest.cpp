// The per-service records, the registration defaults, and reset with undo.
#include "ControllerFixture.h"

#include "DistantPast.h"
#include "LogCapture.h"
#include "UserDefaults.h"

#include <QAction>
#include <QUndoStack>

namespace {

class Persistence : public ControllerFixture {
  protected:
    UserDefaults &defaults() { return UserDefaults::standardUserDefaults(); }

    QVariantMap busyRecord() const {
        return {
            {QStringLiteral("resetDate"), QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC)},
            {QStringLiteral("totalInBytes"), quint64(0xFFFF'FFFF'FFFF'FFFFull)},
            {QStringLiteral("totalOutBytes"), quint64(5'000'000'000ull)},
            {QStringLiteral("prevInVal"), quint64(1ull << 40)},
            {QStringLiteral("prevOutVal"), quint64(3)},
            {QStringLiteral("PrimaryService"), kService},
            {QStringLiteral("limitUnitsScale"), quint64(1ull << 40)},
            {QStringLiteral("gbpmLimit"), 1.5e12},
            {QStringLiteral("prevValSource"), QStringLiteral("router")},
            {QStringLiteral("prevUptime"), 1234.5}};
    }
};

TEST_F(Persistence, FreshServiceStartsFromTheRegistrationDefaults) {
    LogCapture log;
    controller->readDatFile();
    EXPECT_EQ(controller->resetDate(), distantPast());
    EXPECT_EQ(controller->prevInVal(), 0u);
    EXPECT_EQ(controller->totalOutBytes(), 0u);
    EXPECT_EQ(controller->limitUnitsScale(), quint64(1) << 30);
    EXPECT_EQ(controller->primaryService(), kService);

    // The settings among the defaults are no part of a record.
    const QStringList undefined = log.linesContaining(QStringLiteral("for undefined key: "));
    EXPECT_EQ(undefined.size(), 3) << undefined.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(log.linesContaining(QStringLiteral("for undefined key: DisplayLimitGB")).size(), 1);
    // The community string is a password: it never reaches the log.
    EXPECT_EQ(log.linesContaining(QStringLiteral("public")).size(), 0);
}

TEST_F(Persistence, WriteThenLoadGivesBackEveryValue) {
    controller->loadPersistentValuesFromDict(busyRecord());
    controller->doWriteToDisk();
    EXPECT_EQ(defaults().objectForKey(kService).toMap(), busyRecord());

    auto other = std::make_unique<AppDelegate>();
    other->readDatFile();
    EXPECT_EQ(other->dictionaryFromPersistentValues(), busyRecord());
}

TEST_F(Persistence, ResetThenUndoRestoresEverything) {
    controller->loadPersistentValuesFromDict(busyRecord());
    const double shownLimit = outlet<FormattedField>("displayLimitGB")->doubleValue();
    setCurrentService(kOtherService);

    controller->doResetTotalsNow();
    EXPECT_EQ(controller->totalInBytes(), 0u);
    EXPECT_EQ(controller->prevInVal(), 0u);
    EXPECT_EQ(controller->resetDate(), distantPast());
    EXPECT_EQ(controller->primaryService(), kOtherService) << "the reset takes the current service";
    EXPECT_EQ(outlet<FormattedField>("displayLimitGB")->doubleValue(), shownLimit);

    QUndoStack *undo = controller->undoStack();
    ASSERT_TRUE(undo->canUndo());
    EXPECT_EQ(undo->undoText(), QStringLiteral("\"Reset Totals\""));
    undo->undo();
    EXPECT_EQ(controller->dictionaryFromPersistentValues(), busyRecord());
    EXPECT_FALSE(undo->canRedo()) << "putting a record back is not undoable itself";
}

TEST_F(Persistence, WithoutANetworkNothingIsStoredAndValuesStay) {
    controller->loadPersistentValuesFromDict(busyRecord());
    setCurrentService(std::nullopt);
    controller->setPrimaryService(std::nullopt);
    controller->doWriteToDisk();
    EXPECT_FALSE(defaults().objectForKey(QString()).isValid());
    EXPECT_FALSE(defaults().objectForKey(kService).isValid());
    EXPECT_EQ(controller->totalOutBytes(), 5'000'000'000ull);
}

} // namespace
