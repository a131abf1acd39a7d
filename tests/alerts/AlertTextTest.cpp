// What a person reads of each alert: the network, the figures as the window
// shows them, the days left in the cycle or the day the count began (in the
// local zone), and the projection's end.
#include "AlertText.h"

#include "TextPrinting.h"

#include <QTimeZone>

#include <gtest/gtest.h>

namespace flowtally {

namespace {

constexpr double kG = 1024.0 * 1024.0 * 1024.0;
constexpr double kT = 1024.0 * kG;
constexpr AlertText::Urgency kNormal = AlertText::Urgency::Normal;
constexpr AlertText::Urgency kCritical = AlertText::Urgency::Critical;

const QTimeZone kZone("Europe/Berlin");

QDateTime berlinTime(const char *iso) {
    const QDateTime wall = QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate);
    return QDateTime(wall.date(), wall.time(), kZone);
}

TEST(AlertText, SaysWhichNetworkHowMuchOfWhatAndUntilWhen) {
    // clang-format off
    const struct {
        AlertKind kind; const char *network; double used, limit, projection;
        const char *periodStart, *now; int cycleStartDay; // 0: no cycle
        const char *headline, *body; AlertText::Urgency urgency;
    } cases[] = {
        {AlertKind::Warning, "Home (gateway)", 200 * kG, 250 * kG, 0,
         "2024-02-15T00:00:00", "2024-03-06T12:00:00", 15,
         "80 % of your limit used", "Home (gateway): 200.00G of 250.00G used, 9 days left in this cycle.", kNormal},
        {AlertKind::Warning, "Home (gateway)", 207.5 * kG, 250 * kG, 0,
         "2024-02-15T00:00:00", "2024-03-14T20:00:00", 15,
         "83 % of your limit used", "Home (gateway): 207.50G of 250.00G used, 1 day left in this cycle.", kNormal},
        {AlertKind::Warning, "Office", 1.2 * kT, 1.5 * kT, 0,
         "2024-03-03T00:30:00", "2024-03-20T08:00:00", 0,
         "80 % of your limit used", "Office: 1.20T of 1.50T used since 3 March.", kNormal},
        // Close to the limit, still apart from it.
        {AlertKind::Warning, "Office", 0.96 * kG, 1 * kG, 0,
         "2024-03-03T00:30:00", "2024-03-20T08:00:00", 0,
         "96 % of your limit used", "Office: 0.96G of 1.00G used since 3 March.", kNormal},
        {AlertKind::LimitReached, "Home (gateway)", 251 * kG, 250 * kG, 0,
         "2024-03-03T10:00:00", "2024-03-20T08:00:00", 0,
         "limit reached", "Home (gateway): 251.00G of 250.00G used since 3 March.", kCritical},
        {AlertKind::LimitReached, "", 250 * kG, 250 * kG, 0,
         "2023-12-20T10:00:00", "2024-03-06T08:00:00", 0,
         "limit reached", "250.00G of 250.00G used since 20 December 2023.", kCritical},
        {AlertKind::PaceOverLimit, "Home (gateway)", 150 * kG, 250 * kG, 310 * kG,
         "2024-02-15T00:00:00", "2024-03-06T12:00:00", 15,
         "on course to pass your limit",
         "Home (gateway): 150.00G of 250.00G used, 9 days left in this cycle; at this pace you will use 310.00G by 14 March.",
         kNormal},
        {AlertKind::PaceOverLimit, "Home (gateway)", 150 * kG, 250 * kG, 310.4 * kG,
         "2024-03-03T10:00:00", "2024-03-20T08:00:00", 0,
         "on course to pass your limit",
         "Home (gateway): 150.00G of 250.00G used since 3 March; at this pace you use 310.40G every 30 days.",
         kNormal},
    };
    // clang-format on
    for (const auto &c : cases) {
        AlertFigures figures;
        figures.network = QString::fromUtf8(c.network);
        figures.used = c.used;
        figures.limit = c.limit;
        figures.projection = c.projection;
        figures.periodStart = berlinTime(c.periodStart).toUTC();
        figures.now = berlinTime(c.now).toUTC();
        figures.cycle = billingCycleAt(figures.now, c.cycleStartDay, kZone);
        figures.zone = kZone;
        const AlertText text = alertText(c.kind, figures);
        EXPECT_EQ(text.headline, QString::fromUtf8(c.headline)) << c.body;
        EXPECT_EQ(text.body, QString::fromUtf8(c.body));
        EXPECT_EQ(text.urgency, c.urgency) << c.body;
    }
}

// The notification service names the application: the summary does not.
TEST(AlertText, SummaryAndStatusLine) {
    const AlertText text{QStringLiteral("limit reached"),
                         QStringLiteral("Home: 251.00G of 250.00G used."),
                         AlertText::Urgency::Critical};
    EXPECT_EQ(text.summary(), QStringLiteral("Limit reached"));
    EXPECT_EQ(text.statusLine(),
              QStringLiteral("Limit reached \u2014 Home: 251.00G of 250.00G used."));
}

} // namespace

} // namespace flowtally
