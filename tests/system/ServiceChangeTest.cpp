// Another network behind the same interface (a new router on the same
// address) is another service: its traffic goes to a record of its own,
// and the record of the network left behind stays as it was.
#include "SystemTest.h"

namespace {

const QString kOtherRouter = QStringLiteral("02:00:5e:77:ee:01");

class ServiceChangeTest : public SystemTest {};

TEST_F(ServiceChangeTest, NewRouterGetsANewRecordAndTheOldOneStays) {
    ASSERT_NO_FATAL_FAILURE(pushTraffic(64 * 1024, 64 * 1024));
    ASSERT_NO_FATAL_FAILURE(launch());
    const auto first = waitForRecord([](const StoredRecord &record) { return record.sampled(); });
    ASSERT_TRUE(first) << "Flowtally stored no sample";
    const QString oldService = first->key;
    ASSERT_NO_FATAL_FAILURE(pushTraffic(kMiB, kMiB));
    ASSERT_TRUE(waitForSampleAfter(counters())) << "the traffic was never sampled";

    const InterfaceCounters beforeChange = counters();
    QString error;
    ASSERT_TRUE(network().replaceRouter(kOtherRouter, &error)) << error.toStdString();
    const InterfaceCounters atChange = counters();
    QString newService;
    const auto changed = waitForRecords([&](const StoredRecords &all) {
        for (const auto &[key, record] : all) {
            if (key != oldService && record.sampled())
                newService = key;
        }
        return !newService.isEmpty();
    });
    ASSERT_TRUE(changed) << "no record for the new router";
    ASSERT_EQ(changed->size(), 2u);
    const StoredRecord oldAtChange = changed->at(oldService);

    ASSERT_NO_FATAL_FAILURE(pushTraffic(kMiB, kMiB));
    ASSERT_TRUE(waitForSampleAfter(counters(), newService)) << "the traffic was never sampled";
    ASSERT_NO_FATAL_FAILURE(quit());

    const StoredRecords last = records();
    ASSERT_EQ(last.size(), 2u);
    const StoredRecord &oldRecord = last.at(oldService);
    const StoredRecord &newRecord = last.at(newService);

    // The old network's record: counted to the change, then left alone.
    EXPECT_TRUE(oldRecord == oldAtChange) << "the old network's record changed after it was left";
    expectConsistent(oldRecord, first->inBase(), first->outBase());
    EXPECT_LE(oldRecord.prevInVal(), atChange.received);
    EXPECT_LE(oldRecord.prevOutVal(), atChange.sent);
    for (const StoredRecord &state : observed(oldService))
        expectConsistent(state, first->inBase(), first->outBase());

    // The new network's record: counted from its own first sample, after
    // the change.
    expectConsistent(newRecord, newRecord.inBase(), newRecord.outBase());
    expectRecent(newRecord, counters());
    EXPECT_GE(newRecord.inBase(), beforeChange.received);
    EXPECT_GE(newRecord.outBase(), beforeChange.sent);
    EXPECT_GE(newRecord.totalInBytes(), kMiB);
    EXPECT_GE(newRecord.totalOutBytes(), kMiB);
    for (const StoredRecord &state : observed(newService))
        expectConsistent(state, newRecord.inBase(), newRecord.outBase());
}

} // namespace
