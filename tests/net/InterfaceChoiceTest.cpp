// How a router interface chosen in the preferences is kept and found again.
#include "InterfaceChoice.h"
#include "TextPrinting.h"
#include "ToolReplies.h"

#include <gtest/gtest.h>

namespace flowtally {

namespace {

// Each interface's choice finds that interface and no other: by the
// description while it is the router's only one of that description, by
// the name where descriptions repeat (and by the description still where
// the router gives no name).
TEST(InterfaceChoice, EachChoiceFindsItsInterfaceAlone) {
    const QList<RouterInterface> all{
        {1, "lo", "lo", {}, {}, {}},           {2, "ethernet", "ether1", "wan", {}, {}},
        {3, "ethernet", "ether2", {}, {}, {}}, {4, "eth0.2", {}, {}, {}, {}},
        {5, "bridge", {}, {}, {}, {}},         {6, "bridge", {}, {}, {}, {}}};
    const InterfaceChoice expected[] = {{"ifDescr", "lo"},     {"ifName", "ether1"},
                                        {"ifName", "ether2"},  {"ifDescr", "eth0.2"},
                                        {"ifDescr", "bridge"}, {"ifDescr", "bridge"}};
    for (qsizetype i = 0; i < all.size(); ++i) {
        SCOPED_TRACE(all[i].index);
        const InterfaceChoice choice = choiceOf(all[i], all);
        EXPECT_EQ(choice, expected[i]);
        EXPECT_EQ(InterfaceChoice::fromMap(choice.toMap()), choice);
        for (const RouterInterface &other : all) {
            if (other.description != "bridge") {
                EXPECT_EQ(isChosen(other, choice), other.index == all[i].index) << other.index;
            }
        }
    }
    EXPECT_FALSE(isChosen(all[1], {"ifName", "ethernet"}))
        << "the name column, not the description";
    EXPECT_FALSE(InterfaceChoice::fromMap({{"object", "ifAlias"}, {"text", "wan"}}));
    EXPECT_FALSE(InterfaceChoice::fromMap({{"object", "ifName"}, {"text", ""}}));
}

} // namespace

} // namespace flowtally
