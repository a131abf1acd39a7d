// The alert rules as sequences of samples of one network, each with the
// alerts it must bring: every level crossed once, nothing repeated within a
// period (a restart through the settings file included), a reset or a new
// cycle re-arming, the "Warn at" preference changed and off, no limit, a new
// limit, and the projection; when to offer to mark the connection metered.
// What a person reads of each alert: the network, the figures as the window
// shows them, the days left in the cycle or the day the count began (in the
// local zone), and the projection's end.
#include "alerts/AlertRules.h"
#include "alerts/AlertText.h"

#include "platform/system/PropertyList.h"
#include "tests/history/HistoryFixture.h"
#include "tests/support/TextPrinting.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <vector>

namespace flowtally {

// A failed check names the alerts.
void PrintTo(AlertKind kind, std::ostream *out) {
    *out << (kind == AlertKind::Warning        ? "Warning"
             : kind == AlertKind::LimitReached ? "LimitReached"
                                               : "PaceOverLimit");
}

namespace {

constexpr double kG = 1024.0 * 1024.0 * 1024.0;
constexpr double kLimit = 250 * kG;
constexpr AlertKind W = AlertKind::Warning;
constexpr AlertKind L = AlertKind::LimitReached;
constexpr AlertKind P = AlertKind::PaceOverLimit;

const QTimeZone kZone("Europe/Berlin");
constexpr int kCycleStartDay = 1;

// One sample: the figures that differ from the usual ones, and the alerts due.
struct Sample {
    double used;
    std::vector<AlertKind> alerts;
    double projection = 0;
    std::optional<double> warnAt = 80;
    double limit = kLimit;
    int period = 0;       // how many resets (or cycles) after the first period
    double days = 10;     // since the period start
    bool restart = false; // the state went through the settings file first
    std::optional<bool> metered = std::nullopt;
};

struct Scenario {
    const char *name;
    bool cycle; // the network's cycle starts on the 1st; the period starts with it
    std::vector<Sample> samples;
    bool onlyOnMetered = false;
};

// The first period starts at a moment with a fraction of a second, as a reset
// date does until the settings file keeps it in whole seconds.
QDateTime periodStart(int period, bool restarted) {
    return QDateTime(QDate(2024, 3, 1).addMonths(period), QTime(0, 0, 0, restarted ? 0 : 250),
                     kZone);
}

AlertState throughSettingsFile(const AlertState &state) {
    QVariantMap read;
    EXPECT_TRUE(
        dictionaryFromData(xmlData({{QStringLiteral("limitAlerts"), state.toMap()}}), &read).ok());
    return AlertState::fromMap(read.value(QStringLiteral("limitAlerts")).toMap());
}

// Figures in Berlin, in the cycle that starts on `cycleStartDay` (0: none).
AlertFigures inBerlin(AlertFigures figures, int cycleStartDay) {
    figures.cycle = billingCycleAt(figures.now, cycleStartDay, kZone);
    figures.zone = kZone;
    return figures;
}

// A sample's figures, in the network's cycle or in its period since the reset.
AlertFigures figuresOf(const Sample &sample, bool cycle, bool restarted) {
    const QDateTime start = periodStart(sample.period, restarted);
    return inBerlin({.network = QStringLiteral("Home"),
                     .used = sample.used,
                     .limit = sample.limit,
                     .projection = sample.projection,
                     .periodStart = start,
                     .cycle = std::nullopt,
                     .now = start.addSecs(std::llround(sample.days * 86400)),
                     .metered = sample.metered},
                    cycle ? kCycleStartDay : 0);
}

void run(const Scenario &scenario) {
    AlertState state;
    bool restarted = false;
    for (size_t i = 0; i < scenario.samples.size(); ++i) {
        const Sample &sample = scenario.samples[i];
        if (sample.restart) {
            state = throughSettingsFile(state);
            restarted = true;
        }
        const AlertDecision decision = decideAlerts(figuresOf(sample, scenario.cycle, restarted),
                                                    {sample.warnAt, scenario.onlyOnMetered}, state);
        EXPECT_EQ(decision.alerts, sample.alerts) << scenario.name << ", sample " << i + 1;
        state = decision.state;
    }
}

// Samples as {used, alerts due, projection, warn at, limit, period, days,
// restart, metered}, the usual figures left out.
TEST(AlertRules, WhatEachSequenceOfSamplesBrings) {
    // clang-format off
    const Scenario scenarios[] = {
        {"each level once, exactly the level counting", false,
         {{150 * kG, {}}, {200 * kG - 1, {}}, {200 * kG, {W}}, {210 * kG, {}}, {kLimit - 1, {}}, {kLimit, {L}},
          {260 * kG, {}}}},
        {"both levels at once: the limit alert alone, the warning counted as sent", false,
         {{175 * kG, {}}, {262.5 * kG, {L}}, {270 * kG, {}}}},
        {"a restart with the stored state repeats nothing", false,
         {{200 * kG, {W}}, {205 * kG, {}, 0, 80, kLimit, 0, 10, true}, {kLimit, {L}},
          {255 * kG, {}, 0, 80, kLimit, 0, 10, true}}},
        {"a higher level warns again, a lower one does not", false,
         {{212.5 * kG, {W}}, {215 * kG, {}, 0, 90}, {225 * kG, {W}, 0, 90}, {230 * kG, {}, 0, 80}}},
        {"a lower level before any warning warns at once", false,
         {{212.5 * kG, {}, 0, 90}, {212.5 * kG, {W}, 0, 80}}},
        {"warnings off, and levels outside 0 to 100", false,
         {{212.5 * kG, {}, 0, std::nullopt}, {212.5 * kG, {}, 0, 0}, {240 * kG, {}, 0, 100}, {240 * kG, {}, 0, 120},
          {kLimit, {L}, 0, std::nullopt}}},
        {"no limit: nothing, and the state kept for when it comes back", false,
         {{260 * kG, {L}}, {270 * kG, {}, 900 * kG, 80, 0}, {280 * kG, {}}}},
        // At 88 % of the raised limit the warning stays sent.
        {"a raised limit re-arms what no longer holds; a lowered one repeats nothing", false,
         {{260 * kG, {L}}, {265 * kG, {}, 0, 80, 300 * kG}, {300 * kG, {L}, 0, 80, 300 * kG},
          {305 * kG, {}, 0, 80, 280 * kG}}},
        // The projection.
        {"once per cycle, however it moves", true,
         {{100 * kG, {}, 240 * kG}, {110 * kG, {P}, 260 * kG}, {115 * kG, {}, 240 * kG},
          {130 * kG, {}, 270 * kG, 80, kLimit, 0, 10, true}}},
        {"a new cycle re-arms", true, {{110 * kG, {P}, 260 * kG}, {110 * kG, {P}, 260 * kG, 80, kLimit, 1}}},
        {"without a cycle, once per period since the reset", false,
         {{110 * kG, {P}, 260 * kG}, {120 * kG, {}, 280 * kG}, {110 * kG, {P}, 260 * kG, 80, kLimit, 1}}},
        {"exactly the limit is not above it", true, {{100 * kG, {}, kLimit}, {100 * kG, {P}, kLimit + 1}}},
        {"not in the period's first day", true,
         {{20 * kG, {}, 1200 * kG, 80, kLimit, 0, 0.5}, {20 * kG, {P}, 600 * kG, 80, kLimit, 0, 1}}},
        {"with the warning in the same sample", true, {{200 * kG, {W, P}, 300 * kG}}},
        {"none once the limit is reached", true, {{kLimit, {L}, 400 * kG}, {260 * kG, {}, 420 * kG}}},
        {"a raised limit above the projection re-arms, one still below it does not", true,
         {{100 * kG, {P}, 300 * kG}, {100 * kG, {}, 300 * kG, 80, 280 * kG}, {100 * kG, {}, 290 * kG, 80, 320 * kG},
          {110 * kG, {P}, 330 * kG, 80, 320 * kG}}},
        {"totals from before the cycle began bring nothing", true, {{300 * kG, {}, 400 * kG, 80, kLimit, 0, 35}}},
        // Only on metered connections.
        {"nothing while not metered, what fell due once it is; re-armed in the next period as usual while nobody can tell", true,
         {{200 * kG, {}, 300 * kG, 80, kLimit, 0, 10, false, false},
          {kLimit, {}, 300 * kG, 80, kLimit, 0, 10, false, false},
          {kLimit, {L}, 300 * kG, 80, kLimit, 0, 10, false, true},
          {200 * kG, {W, P}, 300 * kG, 80, kLimit, 1, 10, false, std::nullopt}},
         true},
    };
    // clang-format on
    for (const Scenario &scenario : scenarios)
        run(scenario);
}

// The offer to mark the connection metered, from one sample's figures in a
// cycle begun 10 days ago (unless told otherwise).
TEST(AlertRules, OfferToMarkTheConnectionMetered) {
    // clang-format off
    const struct { const char *name; std::optional<bool> metered; double used, projection, limit, days; bool offer; } cases[] = {
        {"heading past the limit", false, 100 * kG, 260 * kG, kLimit, 10, true},
        {"past it", false, 260 * kG, 0, kLimit, 10, true},
        {"heading below it", false, 100 * kG, kLimit, kLimit, 10, false},
        {"already metered", true, 100 * kG, 260 * kG, kLimit, 10, false},
        {"nobody can tell", std::nullopt, 100 * kG, 260 * kG, kLimit, 10, false},
        {"in the period's first day", false, 20 * kG, 1200 * kG, kLimit, 0.5, false},
        {"no limit", false, 100 * kG, 260 * kG, 0, 10, false},
        {"totals from before the cycle began", false, 300 * kG, 400 * kG, kLimit, 35, false},
    };
    // clang-format on
    for (const auto &c : cases) {
        const Sample sample{c.used, {}, c.projection, 80, c.limit, 0, c.days, false, c.metered};
        EXPECT_EQ(offersToMarkMetered(figuresOf(sample, true, false)), c.offer) << c.name;
    }
}

constexpr double kT = 1024.0 * kG;
constexpr AlertText::Urgency kNormal = AlertText::Urgency::Normal;
constexpr AlertText::Urgency kCritical = AlertText::Urgency::Critical;

TEST(AlertText, SaysWhichNetworkHowMuchOfWhatAndUntilWhen) {
    // clang-format off
    const struct {
        AlertKind kind; const char *network; double used, limit, projection;
        const char *periodStart, *now; int cycleStartDay; // 0: no cycle
        const char *headline, *body; AlertText::Urgency urgency;
    } cases[] = {
        {AlertKind::Warning, "Home (gateway)", 200 * kG, 250 * kG, 0, "2024-02-15T00:00:00", "2024-03-06T12:00:00", 15,
         "80% of your limit used", "Home (gateway): 200.00G of 250.00G used, 9 days left in this cycle.", kNormal},
        {AlertKind::Warning, "Home (gateway)", 207.5 * kG, 250 * kG, 0, "2024-02-15T00:00:00", "2024-03-14T20:00:00", 15,
         "83% of your limit used", "Home (gateway): 207.50G of 250.00G used, 1 day left in this cycle.", kNormal},
        {AlertKind::Warning, "Office", 1.2 * kT, 1.5 * kT, 0, "2024-03-03T00:30:00", "2024-03-20T08:00:00", 0,
         "80% of your limit used", "Office: 1.20T of 1.50T used since 3 March.", kNormal},
        // Close to the limit, still apart from it.
        {AlertKind::Warning, "Office", 0.96 * kG, 1 * kG, 0, "2024-03-03T00:30:00", "2024-03-20T08:00:00", 0,
         "96% of your limit used", "Office: 0.96G of 1.00G used since 3 March.", kNormal},
        {AlertKind::LimitReached, "Home (gateway)", 251 * kG, 250 * kG, 0, "2024-03-03T10:00:00", "2024-03-20T08:00:00", 0,
         "limit reached", "Home (gateway): 251.00G of 250.00G used since 3 March.", kCritical},
        {AlertKind::LimitReached, "", 250 * kG, 250 * kG, 0, "2023-12-20T10:00:00", "2024-03-06T08:00:00", 0,
         "limit reached", "250.00G of 250.00G used since 20 December 2023.", kCritical},
        {AlertKind::PaceOverLimit, "Home (gateway)", 150 * kG, 250 * kG, 310 * kG, "2024-02-15T00:00:00", "2024-03-06T12:00:00", 15,
         "on course to pass your limit",
         "Home (gateway): 150.00G of 250.00G used, 9 days left in this cycle; at this pace you will use 310.00G by 14 March.",
         kNormal},
        {AlertKind::PaceOverLimit, "Home (gateway)", 150 * kG, 250 * kG, 310.4 * kG, "2024-03-03T10:00:00", "2024-03-20T08:00:00", 0,
         "on course to pass your limit",
         "Home (gateway): 150.00G of 250.00G used since 3 March; at this pace you use 310.40G every 30 days.",
         kNormal},
    };
    // clang-format on
    for (const auto &c : cases) {
        const AlertText text =
            alertText(c.kind, inBerlin({.network = QString::fromUtf8(c.network),
                                        .used = c.used,
                                        .limit = c.limit,
                                        .projection = c.projection,
                                        .periodStart = local(c.periodStart, kZone).toUTC(),
                                        .cycle = std::nullopt,
                                        .now = local(c.now, kZone).toUTC(),
                                        .metered = std::nullopt},
                                       c.cycleStartDay));
        EXPECT_EQ(text.headline, QString::fromUtf8(c.headline)) << c.body;
        EXPECT_EQ(text.body, QString::fromUtf8(c.body));
        EXPECT_EQ(text.urgency, c.urgency) << c.body;
    }
}

} // namespace

} // namespace flowtally
