// Each application's bytes in the history: split at a period start like the
// network's, never more than the network's, brought back with a clock that
// came back.
#include "HistoryFixture.h"

namespace flowtally {

namespace {

class HistoryApplicationsTest : public HistoryFixture {};

std::vector<std::string> described(const QList<ApplicationBytes> &applications) {
    std::vector<std::string> lines;
    for (const ApplicationBytes &bytes : applications)
        lines.push_back(bytes.application.toStdString() + ' ' + std::to_string(bytes.in) + ' ' +
                        std::to_string(bytes.out));
    return lines;
}

TEST_F(HistoryApplicationsTest, KeptPerPeriodAndNeverMoreThanTheNetworksBytes) {
    auto store = open({.zone = berlin});
    ASSERT_TRUE(store);
    const QDateTime reset = utc("2024-05-02T10:30:00Z");
    const auto applications = [&](const QDateTime &from, const QDateTime &to) {
        QList<ApplicationBytes> found;
        EXPECT_TRUE(store->applications(kHome, from, to, &found).ok());
        return described(found);
    };
    ASSERT_TRUE(store
                    ->add({{kHome,
                            utc("2024-05-02T10:20:00Z"),
                            500,
                            50,
                            {},
                            0,
                            0,
                            {{"app:firefox", {400, 20}}, {"other", {10, 10}}}},
                           {kHome,
                            utc("2024-05-02T10:40:00Z"),
                            300,
                            30,
                            reset,
                            0,
                            0,
                            {{"app:firefox", {100, 10}}, {"service:cups.service", {150, 0}}}}})
                    .ok());
    const QDateTime later = utc("2024-05-03T00:00:00Z");
    EXPECT_EQ(applications(reset, later),
              (std::vector<std::string>{"service:cups.service 150 0", "app:firefox 100 10"}));
    EXPECT_EQ(applications(utc("2024-05-01T22:00:00Z"), later),
              (std::vector<std::string>{"app:firefox 500 30", "service:cups.service 150 0",
                                        "other 10 10"}));
    // Applications that moved more than the network are refused, the entry whole.
    EXPECT_FALSE(store
                     ->add({{kHome,
                             utc("2024-05-02T10:50:00Z"),
                             100,
                             0,
                             reset,
                             0,
                             0,
                             {{"app:firefox", {60, 0}}, {"other", {50, 0}}}}})
                     .ok());
    EXPECT_EQ(since(*store, kHome, reset), (TrafficTotals{300, 30}));
    // The clock came back from the next day to the evening before: the
    // bytes dated on that next day come back too.
    const QDateTime evening = utc("2024-05-02T20:00:00Z"), midnight = utc("2024-05-02T22:00:00Z");
    ASSERT_TRUE(store
                    ->add({{kHome,
                            utc("2024-05-03T10:00:00Z"),
                            100,
                            0,
                            reset,
                            0,
                            0,
                            {{"app:firefox", {100, 0}}}},
                           {kHome, evening, 1, 0, reset, 0, 0, {}}})
                    .ok());
    EXPECT_EQ(applications(reset, midnight),
              (std::vector<std::string>{"app:firefox 200 10", "service:cups.service 150 0"}));
    EXPECT_EQ(applications(midnight, later.addDays(1)), std::vector<std::string>());
    // A network the history does not know has none.
    QList<ApplicationBytes> none{{"other", 1, 1}};
    EXPECT_TRUE(store->applications(kOffice, reset, later, &none).ok());
    EXPECT_TRUE(none.isEmpty());
}

} // namespace

} // namespace flowtally
