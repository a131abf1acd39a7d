#include "WBLib/IndexSetFromIndices.h"

#include "tests/support/Bracketed.h"

#include <gtest/gtest.h>

namespace flowtally {

namespace {

TEST(IndexSetFromIndices, EveryDigitRunIsOneIndex) {
    const TextCase cases[] = {
        {"6,1,3", "[1][3][6]"}, {"3,3", "[3]"}, {"1-3", "[1][3]"}, {"-5", "[5]"},
        {"1.5", "[1][5]"},      {"007", "[7]"}, {"a,b,,c", ""},    {"1,3,5,6", "[1][3][5][6]"},
    };
    for (const auto &[text, items] : cases)
        EXPECT_EQ(bracketed(indexSetFromStringList(text)), items) << text;
    // Numbers and texts by their integer values; negative values give no index.
    EXPECT_EQ(indexSetFromArray({"4", " -3", -1, 2.9, "x"}), (IndexSet{0, 2, 4}));
    EXPECT_EQ(indexSetFromCArray(QList<int32_t>{5, -7, 0, 9}.data(), 3), (IndexSet{0, 5}));
}

} // namespace

} // namespace flowtally
