// flowtally-report --apps: each network's applications since its totals'
// start, named from their desktop entries, and behind a router the other
// devices' bytes, so that the rows add up to the totals; as text, JSON and
// CSV.
#include "tests/report/ReportFixture.h"
#include "tests/support/PlantedFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace flowtally {

namespace {

class ApplicationsReportTest : public ReportFixture {};

// Text, JSON and CSV of the same applications.
TEST_F(ApplicationsReportTest, TextJsonAndCsv) {
    std::unique_ptr<HistoryStore> store = openHistory();
    ASSERT_TRUE(store);
    const QMap<QString, TrafficTotals> beforeReset{{"app:org.example.Browser", {kGiB, 0}}};
    const QMap<QString, TrafficTotals> afterReset{{"app:org.example.Browser", {kGiB, 20 * kMiB}},
                                                  {"app:org.example.Gone", {512 * kMiB, 0}},
                                                  {"service:cups.service", {0, 30 * kMiB}},
                                                  {"other", {kMiB, kMiB}}};
    const QDateTime homeReset = utc("2024-02-13T23:00:00Z");
    ASSERT_TRUE(store
                    ->add({{kHome, utc("2024-02-10T18:00:00Z"), kGiB, 0, {}, 0, 0, beforeReset},
                           {kHome, utc("2024-03-05T10:30:00Z"), 2 * kGiB, 100 * kMiB, homeReset, 0,
                            0, afterReset}})
                    .ok());
    const QString entries = Environment::current().dataFolder() + "/applications";
    ASSERT_TRUE(QDir().mkpath(entries));
    // A name from outside, with a terminal's escape in it.
    ASSERT_TRUE(makeFile(entries + "/org.example.Browser.desktop",
                         "[Desktop Entry]\nType=Application\nName=Browser\x1b[2J\n", 0644));
    const QByteArray text = output({"--apps", "--network", kHome});
    // The terminal's escape is shown as U+FFFD; the row before the reset is
    // not the totals'.
    EXPECT_EQ(text.toStdString().substr(text.indexOf("\n\n") + 2),
              "  since 2024-02-14 00:00          received        sent   share\n"
              "  Browser\uFFFD[2J                        1.00G      20.00M    8.5%\n"
              "  org.example.Gone                 512.00M       0.00B    4.2%\n"
              "  cups.service                       0.00B      30.00M    0.2%\n"
              "  Other                              1.00M       1.00M    0.0%\n"
              "  Other devices on the network       8.50G       1.95G   87.1%\n");
    // The figures of every row: the CSV below; here the layout, and
    // the name as its entry gives it, escaped by JSON.
    const QJsonObject applications =
        json(output({"--apps", "--json", "--network", kHome}))["networks"][0]["applications"]
            .toObject();
    EXPECT_EQ(applications["since"].toString().toStdString(), "2024-02-14T00:00:00+01:00");
    const QJsonArray rows = applications["applications"].toArray();
    ASSERT_EQ(rows.size(), 5);
    EXPECT_EQ(indented(QJsonDocument(rows[0].toObject()).toJson()), indented(R"(
    {"id": "app:org.example.Browser", "name": "Browser\u001b[2J",
     "in": 1073741824, "out": 20971520, "total": 1094713344, "share": 0.0849609375})"));
    // Tables and applications come together.
    EXPECT_TRUE(output({"--apps", "--days", "1", "--network", kHome}).contains("Browser"));

    // An entry whose name holds a comma and quotes; the networks without
    // applications have no row.
    ASSERT_TRUE(makeFile(entries + "/org.example.Gone.desktop",
                         "[Desktop Entry]\nType=Application\nName=Mail, \"Work\"\n", 0644));
    const std::string home = "6A1F0E52-0000-4000-8000-00000000A001,Home router,"
                             "2024-02-14T00:00:00+01:00,";
    EXPECT_EQ(output({"--apps", "--csv"}).toStdString(),
              "id,name,since,application_id,application,in,out,total,share\n" + home +
                  "app:org.example.Browser,Browser\uFFFD[2J,1073741824,20971520,1094713344,"
                  "0.0849609375\n" +
                  home +
                  "app:org.example.Gone,\"Mail, \"\"Work\"\"\",536870912,0,536870912,"
                  "0.041666666666666664\n" +
                  home + "service:cups.service,cups.service,0,31457280,31457280,0.00244140625\n" +
                  home + "other,Other,1048576,1048576,2097152,0.00016276041666666666\n" + home +
                  "rest:devices,Other devices on the network,9125756928,2094006272,11219763200,"
                  "0.8707682291666666\n");
}

} // namespace

} // namespace flowtally
