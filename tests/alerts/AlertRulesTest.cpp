// The alert rules as sequences of samples of one network, each with the
// alerts it must bring: every level crossed once, nothing repeated within a
// period (a restart through the settings file included), a reset or a new
// cycle re-arming, the "Warn at" preference changed and off, no limit, a new
// limit, and the projection.
#include "AlertRules.h"

#include "PropertyList.h"

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

void run(const Scenario &scenario) {
    AlertState state;
    bool restarted = false;
    for (size_t i = 0; i < scenario.samples.size(); ++i) {
        const Sample &sample = scenario.samples[i];
        if (sample.restart) {
            state = throughSettingsFile(state);
            restarted = true;
        }
        AlertFigures figures;
        figures.network = QStringLiteral("Home");
        figures.used = sample.used;
        figures.limit = sample.limit;
        figures.projection = sample.projection;
        figures.periodStart = periodStart(sample.period, restarted);
        figures.now = figures.periodStart.addSecs(std::llround(sample.days * 86400));
        if (scenario.cycle)
            figures.cycle = billingCycleAt(figures.now, kCycleStartDay, kZone);
        figures.zone = kZone;
        figures.metered = sample.metered;
        const AlertDecision decision =
            decideAlerts(figures, {sample.warnAt, scenario.onlyOnMetered}, state);
        EXPECT_EQ(decision.alerts, sample.alerts) << scenario.name << ", sample " << i + 1;
        state = decision.state;
    }
}

// Samples as {used, alerts due, projection, warn at, limit, period, days,
// restart, metered}, the usual figures left out.
TEST(AlertRules, LevelsOfTheUsedShare) {
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
        {"a reset re-arms", false, {{200 * kG, {W}}, {kLimit, {L}}, {200 * kG, {W}, 0, 80, kLimit, 1}}},
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
    };
    // clang-format on
    for (const Scenario &scenario : scenarios)
        run(scenario);
}

TEST(AlertRules, TheProjection) {
    // clang-format off
    const Scenario scenarios[] = {
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
    };
    // clang-format on
    for (const Scenario &scenario : scenarios)
        run(scenario);
}

TEST(AlertRules, OnlyOnMeteredConnections) {
    // clang-format off
    const Scenario scenarios[] = {
        {"nothing while not metered, what fell due once it is, as usual while nobody can tell", true,
         {{200 * kG, {}, 300 * kG, 80, kLimit, 0, 10, false, false},
          {kLimit, {}, 300 * kG, 80, kLimit, 0, 10, false, false},
          {kLimit, {L}, 300 * kG, 80, kLimit, 0, 10, false, true},
          {200 * kG, {W, P}, 300 * kG, 80, kLimit, 1, 10, false, std::nullopt}},
         true},
        {"an unmetered connection alerts when not asked otherwise", true,
         {{200 * kG, {W}, 0, 80, kLimit, 0, 10, false, false}}},
    };
    // clang-format on
    for (const Scenario &scenario : scenarios)
        run(scenario);
}

} // namespace

} // namespace flowtally
