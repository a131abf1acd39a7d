// Opening the history file: a file of the first layout brought up to date,
// and every file Flowtally or a report program cannot use, with the one
// sentence that says why, the file left as it was. A damaged file and one
// another program holds: ReportRunTest's failures.
#include "history/SqliteDatabase.h"
#include "tests/history/HistoryFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>

namespace flowtally {

namespace {

class HistoryFileTest : public HistoryFixture {
  protected:
    static constexpr std::chrono::milliseconds kShortWait{100};

    void writeFile(const QByteArray &bytes) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path()).absolutePath()));
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    QByteArray fileBytes() const {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // A database made with SQL text, the way another program would.
    void makeDatabase(const std::string &sql) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path()).absolutePath()));
        SqliteDatabase database(path());
        ASSERT_TRUE(database.open(SqliteDatabase::Access::ReadWrite, kShortWait).ok());
        const Status made = database.execute(sql.c_str());
        ASSERT_TRUE(made.ok()) << made.message().toStdString();
    }

    // The hours and days of an older layout: counts without a free part.
    static std::string countsTables(const std::string &network) {
        const std::string columns =
            " (" + network +
            ", start INTEGER NOT NULL, bytes_in INTEGER NOT NULL CHECK (typeof(bytes_in) = "
            "'integer' AND bytes_in >= 0), bytes_out INTEGER NOT NULL CHECK (typeof(bytes_out) = "
            "'integer' AND bytes_out >= 0), PRIMARY KEY (network, start)) WITHOUT ROWID;";
        return "CREATE TABLE hours" + columns + "CREATE TABLE days" + columns;
    }
};

// Files of the older layouts, written by hand: layout 1 keys the counts by
// the service identifier, layout 2 numbers the networks and names them; neither
// has a free part. Home: 2 May 2024 10:00 and 11:00 UTC; office: 3 May 08:00 UTC.
TEST_F(HistoryFileTest, AnOlderLayoutIsBroughtUpToDate) {
    const std::string home = "'6A1F0E52-0000-4000-8000-00000000A001'";
    const std::string office = "'6A1F0E52-0000-4000-8000-00000000A002'";
    // clang-format off
    const struct { int layout; std::string sql; QList<HistoryNetwork> networks; } cases[] = {
        {1, countsTables("network TEXT NOT NULL") +
            "INSERT INTO hours VALUES (" + home + ", 1714644000, 100, 10), (" + home + ", 1714647600, 200, 20),"
            " (" + office + ", 1714723200, 7, 1);"
            "INSERT INTO days VALUES (" + home + ", 1714600800, 300, 30), (" + office + ", 1714687200, 7, 1);",
         {{kOffice, {}, utc("2024-05-03T08:00:00Z")}, {kHome, {}, utc("2024-05-02T11:00:00Z")}}},
        {2, "CREATE TABLE networks (id INTEGER PRIMARY KEY, service TEXT NOT NULL UNIQUE, "
            "name TEXT NOT NULL DEFAULT '', last_seen INTEGER);" +
            countsTables("network INTEGER REFERENCES networks (id) NOT NULL") +
            "INSERT INTO networks VALUES (1, " + home + ", 'Home router', 1714647600);"
            "INSERT INTO hours VALUES (1, 1714644000, 100, 10), (1, 1714647600, 200, 20);"
            "INSERT INTO days VALUES (1, 1714600800, 300, 30);",
         {{kHome, QStringLiteral("Home router"), utc("2024-05-02T11:00:00Z")}}},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.layout);
        QFile::remove(path());
        makeDatabase(c.sql + "PRAGMA user_version = " + std::to_string(c.layout));
        EXPECT_EQ(openFailure({.readOnly = true, .zone = berlin}),
                  QStringLiteral("the traffic history %1 has an older layout (%2): start "
                                 "Flowtally once to bring it up to date")
                      .arg(path())
                      .arg(c.layout)
                      .toStdString());

        auto store = open();
        ASSERT_TRUE(store);
        EXPECT_EQ(buckets(*store, Tier::Hours, kHome),
                  (Lines{"2024-05-02T10:00:00Z 100 10", "2024-05-02T11:00:00Z 200 20"}));
        EXPECT_EQ(buckets(*store, Tier::Days, kHome), (Lines{"2024-05-01T22:00:00Z 300 30"}));
        QList<HistoryNetwork> networks;
        ASSERT_TRUE(store->networks(&networks).ok());
        EXPECT_EQ(networks, c.networks);
        // Every byte is still there, none of them free; new ones may be.
        const QDateTime day = utc("2024-05-01T22:00:00Z");
        EXPECT_EQ(freeSince(*store, kHome, day), (TrafficTotals{}));
        add(*store, {{kHome, utc("2024-05-02T11:30:00Z"), 5, 3, {}, 4, 3}});
        EXPECT_EQ(since(*store, kHome, day), (TrafficTotals{305, 33}));
        EXPECT_EQ(freeSince(*store, kHome, day), (TrafficTotals{4, 3}));
        // More free bytes than bytes are refused, and so the file never holds them.
        EXPECT_FALSE(store->add({{kHome, utc("2024-05-02T11:40:00Z"), 5, 3, {}, 6, 0}}).ok());
        SqliteDatabase database(path());
        ASSERT_TRUE(database.open(SqliteDatabase::Access::ReadWrite, kShortWait).ok());
        EXPECT_FALSE(database.execute("UPDATE hours SET free_in = bytes_in + 1").ok());
        store.reset();
        EXPECT_EQ(openFailure({.readOnly = true, .zone = berlin}), "");
    }
}

TEST_F(HistoryFileTest, FilesThatCannotBeUsed) {
    const std::string file = path().toStdString();
    const std::string newer = "the traffic history " + file +
                              " comes from a newer Flowtally (layout 5; this one knows up to 4)";
    const std::string another = file + " is another program's database, not a traffic history";
    const std::vector<bool> readOnly{true}, both{true, false};
    // clang-format off
    const struct { const char *what; std::vector<bool> modes; const char *content; const char *sql; std::string failure; } cases[] = {
        {"missing", readOnly, nullptr, nullptr, "there is no traffic history at " + file},
        {"empty", readOnly, "", nullptr, "the traffic history " + file + " is empty: Flowtally has not written it yet"},
        {"garbage", both, "Flowtally 0.1 totals\n", nullptr,
         file + " is not a traffic history: it is not an SQLite database, or a damaged one"},
        {"a newer layout", both, nullptr, "CREATE TABLE networks (id); PRAGMA user_version = 5", newer},
        {"another program's database", both, nullptr, "CREATE TABLE notes (text)", another},
        {"another program's database whose version reads 1", readOnly, nullptr,
         "CREATE TABLE notes (text); PRAGMA user_version = 1", another},
    };
    // clang-format on
    for (const auto &c : cases) {
        for (const bool readOnly : c.modes) {
            SCOPED_TRACE(std::string(c.what) + (readOnly ? ", read-only" : ", read-write"));
            QFile::remove(path());
            if (c.content)
                writeFile(c.content);
            if (c.sql)
                makeDatabase(c.sql);
            const QByteArray before = fileBytes();
            EXPECT_EQ(openFailure({.readOnly = readOnly, .zone = berlin}), c.failure);
            EXPECT_EQ(QFileInfo::exists(path()), c.content || c.sql);
            EXPECT_EQ(fileBytes(), before);
        }
    }
}

} // namespace

} // namespace flowtally
