// The resources compiled into WBLib, found through the platform's lookup.
#include "Resources.h"
#include "PropertyList.h"

#include <gtest/gtest.h>

TEST(Resources, FindsAndReadsBundledResources) {
    EXPECT_EQ(resourcePath("ScaleStrings.plist"), ":/ScaleStrings.plist");
    const std::optional<QVariantMap> scales =
        dictionaryWithContentsOfFile(resourcePath("ScaleStrings.plist"));
    ASSERT_TRUE(scales.has_value());
    EXPECT_EQ(scales->value("1099511627776").toString(), "T");
    EXPECT_EQ(scales->size(), 5);

    const std::optional<QString> letters = resourceText("OrderedBKMGTChars.txt");
    ASSERT_TRUE(letters.has_value());
    EXPECT_EQ(letters->simplified().remove(' '), "BKMGT");
    EXPECT_EQ(resourceData("OrderedBKMGTChars.txt")->size(), letters->toUtf8().size());
}

TEST(Resources, MissingResourcesHaveNoPath) {
    for (const char *name : {"NoSuchResource.txt", "", "."}) {
        EXPECT_TRUE(resourcePath(name).isEmpty()) << name;
        EXPECT_FALSE(resourceData(name).has_value()) << name;
        EXPECT_FALSE(resourceText(name).has_value()) << name;
    }
}
