// Counting: which samples are accepted, how counter differences become
// totals and rates, and what the figures show.
#include "ControllerFixture.h"

#include "CounterDifference.h"
#include "DistantPast.h"
#include "LevelIndicator.h"

namespace {

constexpr quint64 k2to32 = quint64(1) << 32;
constexpr quint64 kGiB = quint64(1) << 30;

struct DifferenceCase {
    quint64 previous;
    quint64 now;
    CounterSource source;
    quint64 expected;
};

TEST(CounterDifference, GrowthWrapsAndResets) {
    const DifferenceCase cases[] = {
        {1000, 5000, CounterSource::Local, 4000},
        {7000, 7000, CounterSource::Router, 0},
        // A router's 32-bit counter wrapped once.
        {k2to32 - 296, 296, CounterSource::Router, 592},
        {k2to32 - 1, 0, CounterSource::Router, 1},
        // A local counter that fell was reset: all it holds is new.
        {k2to32 - 296, 296, CounterSource::Local, 296},
        {quint64(5) << 40, 123456, CounterSource::Local, 123456},
        // A fall of more than 32 bits is no wrap of a 32-bit counter.
        {quint64(5) << 40, 10, CounterSource::Router, 10},
    };
    for (const DifferenceCase &c : cases) {
        EXPECT_EQ(counterDifference(c.now, c.previous, c.source), c.expected)
            << c.previous << " -> " << c.now;
    }
}

class Accounting : public ControllerFixture {
  protected:
    void process(const TrafficSample &sample) { controller->processStatsDict(sample); }
    // Previous counters as a loaded record brings them.
    void countFrom(quint64 in, quint64 out) {
        controller->loadPersistentValuesFromDict(
            {{QStringLiteral("prevInVal"), in}, {QStringLiteral("prevOutVal"), out}});
    }
    double shownInRate() { return outlet<FormattedField>("inRate")->doubleValue(); }
};

TEST_F(Accounting, FirstSampleOnlySetsTheTimeThenDifferencesCount) {
    process(localSample(900, 50, 0));
    EXPECT_EQ(controller->totalInBytes(), 0u);
    EXPECT_EQ(controller->prevInVal(), 0u) << "the first sample is never accepted";

    process(localSample(1000, 60, 2.0));
    EXPECT_EQ(controller->totalInBytes(), 0u) << "no previous value: only recorded";
    EXPECT_EQ(controller->prevInVal(), 1000u);

    process(localSample(5000, 100, 4.0));
    EXPECT_EQ(controller->totalInBytes(), 4000u);
    EXPECT_EQ(controller->totalOutBytes(), 40u);
    EXPECT_DOUBLE_EQ(shownInRate(), 4000 / 2.0 / 1024);
}

TEST_F(Accounting, EarlySampleMovesTheTimeButLosesNoBytes) {
    countFrom(1000, 1000);
    process(localSample(1000, 1000, 0));
    process(localSample(2000, 2000, 2.0));
    process(localSample(3000, 3000, 3.2)); // 1.2 s: refused
    EXPECT_EQ(controller->totalInBytes(), 1000u);
    EXPECT_EQ(controller->prevInVal(), 2000u);
    EXPECT_EQ(controller->lastFireDate(), base.addMSecs(3200));

    process(localSample(5000, 5000, 4.7)); // 1.5 s after the refused one
    EXPECT_EQ(controller->totalInBytes(), 4000u);
    EXPECT_DOUBLE_EQ(shownInRate(), 3000 / 1.5 / 1024);
}

TEST_F(Accounting, SamplesOfAnotherServiceChangeNothing) {
    process(localSample(1000, 1000, 0));
    const QDateTime last = controller->lastFireDate();
    process(localSample(9000, 9000, 2.0, kOtherService));
    EXPECT_EQ(controller->lastFireDate(), last);
    EXPECT_EQ(controller->prevInVal(), 0u);

    // The network moved on while the sample was taken.
    setCurrentService(kOtherService);
    process(localSample(9000, 9000, 2.0));
    EXPECT_EQ(controller->lastFireDate(), last);

    setCurrentService(std::nullopt);
    process(localSample(9000, 9000, 4.0));
    EXPECT_EQ(controller->lastFireDate(), last);
}

TEST_F(Accounting, CounterOfZeroIsNoReading) {
    countFrom(1000, 1000);
    process(localSample(1000, 1000, 0));
    process(localSample(2000, 2000, 2));
    process(localSample(0, 2500, 4)); // the in counter could not be read
    EXPECT_EQ(controller->prevInVal(), 2000u);
    EXPECT_EQ(controller->totalInBytes(), 1000u);
    EXPECT_EQ(controller->totalOutBytes(), 1500u);
    EXPECT_EQ(controller->prevOutVal(), 2500u);
    process(localSample(2600, 2600, 6));
    EXPECT_EQ(controller->totalInBytes(), 1600u) << "the next reading counts from the last one";
}

TEST_F(Accounting, LocalCounterResetCountsOnlyTheNewValue) {
    countFrom(50'000'000'000, 7);
    process(localSample(50'000'000'000, 7, 0));
    process(localSample(50'000'001'000, 8, 2));
    process(localSample(300, 9, 4)); // rebooted
    EXPECT_EQ(controller->totalInBytes(), 1000u + 300u);
}

TEST_F(Accounting, ChangeOfSourceOnlyRecordsTheNewCounters) {
    countFrom(1000, 1000);
    process(localSample(1000, 1000, 0));
    process(localSample(2000, 2000, 2));
    process(routerSample(70'000, 80'000, 4, 500));
    EXPECT_EQ(controller->totalInBytes(), 1000u);
    EXPECT_EQ(controller->prevInVal(), 70'000u);
    process(routerSample(71'000, 80'500, 6, 502));
    EXPECT_EQ(controller->totalInBytes(), 2000u);
    EXPECT_EQ(controller->dictionaryFromPersistentValues().value(QStringLiteral("prevValSource")),
              QStringLiteral("router"));
    process(localSample(2500, 2500, 8));
    EXPECT_EQ(controller->totalInBytes(), 2000u);

    // The source is stored with the counters, so a restart knows it.
    const QVariantMap record = controller->dictionaryFromPersistentValues();
    EXPECT_EQ(record.value(QStringLiteral("prevValSource")).toString(), QStringLiteral("local"));
}

TEST_F(Accounting, RouterCounterFallIsAWrapUnlessTheRouterRestarted) {
    process(routerSample(k2to32 - 500, 1000, 0, 1000));
    process(routerSample(k2to32 - 500, 1000, 2, 1002));
    process(routerSample(300, 1200, 4, 1004)); // up-time grew: wrapped
    EXPECT_EQ(controller->totalInBytes(), 800u);
    process(routerSample(100, 50, 6, 3)); // up-time fell: began again at 0
    EXPECT_EQ(controller->totalInBytes(), 900u);
    EXPECT_EQ(controller->totalOutBytes(), 200u + 50u);
}

TEST_F(Accounting, LimitLevelAndThirtyDayProjection) {
    setLimit(5, kGiB);
    controller->loadPersistentValuesFromDict(
        {{QStringLiteral("resetDate"), QDateTime::currentDateTimeUtc().addDays(-10)},
         {QStringLiteral("totalInBytes"), quint64(2 * kGiB)},
         {QStringLiteral("totalOutBytes"), quint64(kGiB / 2 - 1000)},
         {QStringLiteral("prevInVal"), quint64(1000)},
         {QStringLiteral("prevOutVal"), quint64(1000)}});
    process(localSample(1000, 1000, 0));
    process(localSample(1000, 2000, 2));

    EXPECT_DOUBLE_EQ(controller->gbpmLimit(), 5.0 * kGiB);
    EXPECT_NEAR(outlet<LevelIndicator>("levelIndicator")->doubleValue(), 50.0, 1e-9);
    EXPECT_NEAR(controller->gbpm(), 7.5 * kGiB, 7.5 * kGiB * 1e-6) << "ten days: three times";
    EXPECT_NEAR(outlet<LevelIndicator>("rateIndicator")->doubleValue(),
                1.5 * outlet<LevelIndicator>("rateIndicator")->criticalValue(), 1e-3);
    EXPECT_EQ(outlet<QLineEdit>("airportName")->text(), QStringLiteral("myhost"));
}

TEST_F(Accounting, FirstAcceptedSampleStartsThePeriodAndNothingFailsOnZeroLimit) {
    setLimit(0, kGiB);
    controller->loadPersistentValuesFromDict({{QStringLiteral("resetDate"), distantPast()},
                                              {QStringLiteral("prevInVal"), quint64(10)},
                                              {QStringLiteral("prevOutVal"), quint64(10)}});
    process(localSample(10, 10, 0));
    process(localSample(20, 10, 2));
    EXPECT_GT(controller->resetDate(), QDateTime::currentDateTimeUtc().addSecs(-60));
    EXPECT_TRUE(std::isinf(outlet<LevelIndicator>("levelIndicator")->doubleValue()));
    // The badge lives in the title where there is no tray.
    EXPECT_FALSE(controller->mainWindowWidget()->windowTitle().isEmpty());
}

} // namespace
