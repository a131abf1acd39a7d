#include "IndexSet.h"

#include <gtest/gtest.h>

#include <vector>

TEST(IndexSet, HoldsDistinctIndicesInAscendingOrder) {
    IndexSet set;
    for (IndexSet::Index index : {6u, 1u, 3u, 3u, 0u})
        set.addIndex(index);
    EXPECT_EQ(std::vector<IndexSet::Index>(set.begin(), set.end()),
              (std::vector<IndexSet::Index>{0, 1, 3, 6}));
    EXPECT_EQ(set.count(), 4);
    EXPECT_TRUE(set.containsIndex(3));
    EXPECT_FALSE(set.containsIndex(2));
    EXPECT_EQ(set, (IndexSet{6, 3, 1, 0}));
    EXPECT_TRUE(IndexSet().isEmpty());
}

TEST(IndexSet, ObjectsAtIndexesPicksInAscendingOrder) {
    const QStringList words{"?", "(192.168.1.1)", "at", "aa:bb", "on", "en0", "[ethernet]"};
    EXPECT_EQ(objectsAtIndexes(words, {6, 1, 5, 3}),
              (QStringList{"(192.168.1.1)", "aa:bb", "en0", "[ethernet]"}));
    EXPECT_EQ(objectsAtIndexes(words, {}), QStringList());
    EXPECT_FALSE(objectsAtIndexes(words, {1, 7}).has_value());
    EXPECT_FALSE(objectsAtIndexes({}, {0}).has_value());
}
