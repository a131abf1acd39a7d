// flowtally-report --apps: each network's applications since its totals'
// start, named from their desktop entries, as text and JSON.
#include "ReportFixture.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace flowtally {

namespace {

class ApplicationsReportTest : public ReportFixture {
  protected:
    void SetUp() override {
        writeSettings(knownSettings());
        writeKnownHistory();
        std::unique_ptr<HistoryStore> store = openHistory();
        ASSERT_TRUE(store);
        const QDateTime homeReset = utc("2024-02-13T23:00:00Z");
        // Before the reset, and after it.
        ASSERT_TRUE(store
                        ->add({{kHome,
                                utc("2024-02-10T18:00:00Z"),
                                kGiB,
                                0,
                                {},
                                0,
                                0,
                                {{"app:org.example.Browser", {kGiB, 0}}}},
                               {kHome,
                                utc("2024-03-05T10:30:00Z"),
                                2 * kGiB,
                                100 * kMiB,
                                homeReset,
                                0,
                                0,
                                {{"app:org.example.Browser", {kGiB, 20 * kMiB}},
                                 {"app:org.example.Gone", {512 * kMiB, 0}},
                                 {"service:cups.service", {0, 30 * kMiB}},
                                 {"other", {kMiB, kMiB}}}}})
                        .ok());
        const QString applications = Environment::current().dataFolder() + "/applications";
        ASSERT_TRUE(QDir().mkpath(applications));
        QFile entry(applications + "/org.example.Browser.desktop");
        ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
        // A name from outside, with a terminal's escape in it.
        entry.write("[Desktop Entry]\nType=Application\nName=Browser\x1b[2J\n");
    }
    QByteArray output(const QStringList &arguments) {
        const ReportOutcome outcome = run(arguments);
        EXPECT_EQ(outcome.exitCode, kReportWritten) << arguments.join(' ').toStdString();
        EXPECT_EQ(outcome.messages.join('\n').toStdString(), "");
        return outcome.output;
    }
};

TEST_F(ApplicationsReportTest, TextAndJson) {
    const QByteArray text = output({"--apps", "--network", kHome});
    // The terminal's escape is shown as U+FFFD; the row before the reset is
    // not the totals'.
    EXPECT_EQ(text.toStdString().substr(text.indexOf("\n\n") + 2),
              "  since 2024-02-14 00:00          received        sent   share\n"
              "  Browser\uFFFD[2J                        1.00G      20.00M    8.5%\n"
              "  org.example.Gone                 512.00M       0.00B    4.2%\n"
              "  cups.service                       0.00B      30.00M    0.2%\n"
              "  Other                              1.00M       1.00M    0.0%\n");
    const QByteArray json = output({"--apps", "--json", "--network", kHome});
    EXPECT_EQ(QJsonDocument(QJsonDocument::fromJson(json)["networks"][0]["applications"].toObject())
                  .toJson(QJsonDocument::Indented)
                  .toStdString(),
              R"({
    "applications": [
        {
            "id": "app:org.example.Browser",
            "in": 1073741824,
            "name": "Browser\u001b[2J",
            "out": 20971520,
            "share": 0.0849609375,
            "total": 1094713344
        },
        {
            "id": "app:org.example.Gone",
            "in": 536870912,
            "name": "org.example.Gone",
            "out": 0,
            "share": 0.041666666666666664,
            "total": 536870912
        },
        {
            "id": "service:cups.service",
            "in": 0,
            "name": "cups.service",
            "out": 31457280,
            "share": 0.00244140625,
            "total": 31457280
        },
        {
            "id": "other",
            "in": 1048576,
            "name": "Other",
            "out": 1048576,
            "share": 0.00016276041666666666,
            "total": 2097152
        }
    ],
    "since": "2024-02-14T00:00:00+01:00"
}
)");
    // Tables and applications come together.
    EXPECT_TRUE(output({"--apps", "--days", "1", "--network", kHome}).contains("Browser"));
}

} // namespace

} // namespace flowtally
