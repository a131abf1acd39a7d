#include "ArgumentListDescription.h"

#include <gtest/gtest.h>

namespace {

TEST(ArgumentListDescription, QuotesEachArgumentAndMasksTheCommunity) {
    EXPECT_EQ(argumentListDescription({}), QStringLiteral("()"));
    EXPECT_EQ(argumentListDescription({QStringLiteral("-f"), QStringLiteral("a \"b\" \\")}),
              QStringLiteral("(\"-f\", \"a \\\"b\\\" \\\\\")"));
    const QString snmp = argumentListDescription(
        {QStringLiteral("-v"), QStringLiteral("2c"), QStringLiteral("-c"),
         QStringLiteral("s3cret word"), QStringLiteral("10.0.0.1"), QStringLiteral("ifDescr")});
    EXPECT_FALSE(snmp.contains(QStringLiteral("s3cret")));
    EXPECT_EQ(snmp,
              QStringLiteral("(\"-v\", \"2c\", \"-c\", \"********\", \"10.0.0.1\", \"ifDescr\")"));
}

} // namespace
