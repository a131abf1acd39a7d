#include "ArgumentListDescription.h"

#include <gtest/gtest.h>

namespace flowtally {

namespace {

TEST(ArgumentListDescription, QuotesEachArgumentAndMasksTheCommunity) {
    EXPECT_EQ(argumentListDescription({"-v", "2c", "-c", "s3cret \"w\\", "10.0.0.1"}),
              QStringLiteral("(\"-v\", \"2c\", \"-c\", \"********\", \"10.0.0.1\")"));
    EXPECT_EQ(argumentListDescription({"a \"b\" \\"}), QStringLiteral("(\"a \\\"b\\\" \\\\\")"));
}

} // namespace

} // namespace flowtally
