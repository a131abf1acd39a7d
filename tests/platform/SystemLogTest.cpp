// The lines a run keeps for its log window: every line logged, in order,
// each with its time, held lines once they are let go (not those their
// holder took), and no more than
// kKeptLogLines of them however long the run.
#include "platform/system/SystemLog.h"

#include "tests/support/TestEnvironment.h"
#include "tests/support/TextPrinting.h"

#include <gtest/gtest.h>

namespace flowtally {

namespace {

TEST(SystemLog, KeepsTheLastLinesOfTheRun) {
    TestEnvironment environment;
    const QDateTime at = QDateTime(QDate(2024, 3, 1), QTime(12, 0), QTimeZone::utc());
    environment.setClock([at] { return at; });
    {
        HeldLogLines held;
        systemLog(QStringLiteral("taken by the holder"));
        EXPECT_EQ(held.take().size(), 1);
        systemLog(QStringLiteral("let go"));
    }
    QList<LogLine> kept = recentLogLines();
    ASSERT_FALSE(kept.isEmpty());
    EXPECT_EQ(kept.last().text, QStringLiteral("let go"));
    EXPECT_EQ(kept.last().at, at);
    for (qsizetype line = 0; line < kKeptLogLines + 10; ++line)
        systemLog(QString::number(line));
    kept = recentLogLines();
    ASSERT_EQ(kept.size(), kKeptLogLines);
    EXPECT_EQ(kept.first().text, QStringLiteral("10"));
    EXPECT_EQ(kept.last().text, QString::number(kKeptLogLines + 9));
    EXPECT_EQ(environment.logLines().size(), kKeptLogLines + 11);
    EXPECT_FALSE(environment.logLines().contains(QStringLiteral("taken by the holder")));
}

} // namespace

} // namespace flowtally
