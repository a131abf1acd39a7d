#include "IndexSetFromIndices.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

std::vector<IndexSet::Index> indexesOf(const IndexSet &set) {
    return {set.begin(), set.end()};
}

} // namespace

TEST(IndexSetFromIndices, FromStringListEveryDigitRunIsOneIndex) {
    using Indexes = std::vector<IndexSet::Index>;
    const struct {
        QString text;
        Indexes indexes;
    } cases[] = {
        {"1,3,5,6", {1, 3, 5, 6}},
        {"6,1,3", {1, 3, 6}},
        {"3,3", {3}},
        {"1-3", {1, 3}},
        {"-5", {5}},
        {"+5", {5}},
        {"1.5", {1, 5}},
        {"007", {7}},
        {"", {}},
        {"a,b,,c", {}},
        {" 12 x 4 ", {4, 12}},
        {QStringLiteral("\u0662,9"), {2, 9}}, // Arabic-Indic two
        {"99999999999999999999", {IndexSet::Index(std::numeric_limits<qint64>::max())}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(indexesOf(indexSetFromStringList(c.text)), c.indexes) << c.text.toStdString();
}

TEST(IndexSetFromIndices, FromArrayOfNumbersAndTexts) {
    EXPECT_EQ(indexSetFromArray({QStringLiteral("2"), 4}), (IndexSet{2, 4}));
    EXPECT_EQ(indexSetFromArray({QStringLiteral("x")}), (IndexSet{0}));
    EXPECT_EQ(indexSetFromArray({QStringLiteral(" -3"), -1, 2.9}), (IndexSet{2}));
    EXPECT_TRUE(indexSetFromArray({}).isEmpty());
}

TEST(IndexSetFromIndices, FromCArray) {
    const int32_t values[] = {5, 5, 0, -7};
    EXPECT_EQ(indexSetFromCArray(values, 3), (IndexSet{0, 5}));
    EXPECT_EQ(indexSetFromCArray(values, 4), (IndexSet{0, 5})); // no index for -7
    EXPECT_TRUE(indexSetFromCArray(values, 0).isEmpty());
    EXPECT_TRUE(indexSetFromCArray(nullptr, 0).isEmpty());
}
