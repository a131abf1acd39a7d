#include "CommandRun.h"
#include "TestNetwork.h"

#include <QSysInfo>

#include <gtest/gtest.h>

// The tool may consult the resolver, so every lookup runs inside a test
// namespace, from which nothing reaches another network.
class ArpToolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!network_.unavailableReason().isEmpty())
            GTEST_SKIP() << network_.unavailableReason().toStdString();
    }

    CommandResult arp(const QStringList &arguments) const {
        return network_.run(helperToolPath(QStringLiteral("flowtally-arp")), arguments);
    }

  private:
    TestNetwork network_;
};

TEST_F(ArpToolTest, AnswersForAddressesInTheNeighbourTableOrNot) {
    const struct {
        QString host;
        QString reply;
    } cases[] = {
        {"10.77.0.1", "? (10.77.0.1) at 02:00:5e:77:00:01 on ft0 [ethernet]\n"},
        {"10.77.0.9", "10.77.0.9 (10.77.0.9) -- no entry\n"},
        {"127.0.0.1", "127.0.0.1 (127.0.0.1) -- no entry\n"},
    };
    for (const auto &entry : cases) {
        const CommandResult result = arp({entry.host});
        EXPECT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 0) << result.error.toStdString();
        EXPECT_EQ(result.output, entry.reply);
    }
}

// The resolver knows this computer's name only as a loopback address here
// (/etc/hosts); the tool answers with the primary interface's address.
TEST_F(ArpToolTest, OwnHostNameStandsForThePrimaryInterfaceAddress) {
    const QString name = QSysInfo::machineHostName();
    const CommandResult result = arp({name});
    EXPECT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.error.toStdString();
    EXPECT_EQ(result.output, name + " (10.77.0.2) -- no entry\n");
}

TEST_F(ArpToolTest, UnknownHostAndWrongUsageFail) {
    const struct {
        QStringList arguments;
        QString error;
    } cases[] = {
        // Not a valid host name, so the resolver gives up without asking DNS.
        {{"no such host!"}, "arp: no such host!: Unknown host\n"},
        {{}, "usage: flowtally-arp hostname\n"},
        {{"10.77.0.1", "10.77.0.2"}, "usage: flowtally-arp hostname\n"},
        {{"-a"}, "usage: flowtally-arp hostname\n"},
    };
    for (const auto &entry : cases) {
        const CommandResult result = arp(entry.arguments);
        EXPECT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.output.isEmpty());
        EXPECT_EQ(result.error, entry.error);
    }
}
