// Without a default route there is no network service: Flowtally runs on,
// stores no record (there is no key to store one under), and meters the
// network once one comes.
#include "PropertyList.h"
#include "SystemTest.h"

namespace {

using namespace std::chrono_literals;

class NoNetworkTest : public SystemTest {
  protected:
    // Entries stored under an empty key, which no service has.
    int emptyKeys() const {
        const auto defaults = dictionaryWithContentsOfFile(defaultsPath());
        return defaults ? static_cast<int>(defaults->count(QString())) : 0;
    }
};

TEST_F(NoNetworkTest, RunsWithoutANetworkAndMetersTheOneThatComes) {
    ASSERT_NO_FATAL_FAILURE(pushTraffic(64 * 1024, 64 * 1024));
    QString error;
    ASSERT_TRUE(network().removeDefaultRoute(&error)) << error.toStdString();

    ASSERT_NO_FATAL_FAILURE(launch());
    // Some ticks and timed writes pass without a network.
    pause(10s);
    ASSERT_TRUE(flowtally().isRunning()) << "Flowtally ended without a network";
    EXPECT_EQ(emptyKeys(), 0) << "a record stored under an empty key";
    EXPECT_TRUE(records().empty()) << "a record without a network";

    ASSERT_TRUE(network().addDefaultRoute(&error)) << error.toStdString();
    const InterfaceCounters networkUp = counters();
    const auto record = waitForRecord([](const StoredRecord &record) { return record.sampled(); });
    ASSERT_TRUE(record) << "the network that came was never metered";
    ASSERT_NO_FATAL_FAILURE(pushTraffic(kMiB, kMiB));
    ASSERT_TRUE(waitForSampleAfter(counters())) << "the traffic was never sampled";
    ASSERT_NO_FATAL_FAILURE(quit());

    EXPECT_EQ(emptyKeys(), 0) << "a record stored under an empty key";
    const StoredRecords stored = records();
    ASSERT_EQ(stored.size(), 1u);
    const StoredRecord &last = stored.begin()->second;
    expectConsistent(last, record->inBase(), record->outBase());
    expectRecent(last, counters());
    EXPECT_GE(last.inBase(), networkUp.received);
    EXPECT_GE(last.outBase(), networkUp.sent);
    EXPECT_GE(last.totalInBytes(), kMiB);
    EXPECT_GE(last.totalOutBytes(), kMiB);
}

} // namespace
