#include "WBLib/ComponentsSeparatedByCharactersFromSet.h"

#include "tests/support/Bracketed.h"

#include <gtest/gtest.h>

namespace flowtally {

namespace {

TEST(ComponentsSeparatedByCharactersFromSet, RunsOrEachSeparatorEndAField) {
    const CharacterSet blanks = CharacterSet::characterSetWithCharactersInString(" \n");
    const TextCase runs[] = {
        {" \n ", "[][]"},       {"word", "[word]"},        {"one   two", "[one][two]"},
        {"  lead", "[][lead]"}, {"trail \n", "[trail][]"}, {"", ""},
    };
    for (const auto &[text, items] : runs)
        EXPECT_EQ(bracketed(componentsSeparatedByCharactersFromSet(text, blanks)), items);
    const CharacterSet parentheses = CharacterSet::characterSetWithCharactersInString("()");
    EXPECT_EQ(bracketed(componentsSeparatedByCharactersFromSet("host (10.1.2.3) at 0:1 on en0",
                                                               parentheses)),
              "[host ][10.1.2.3][ at 0:1 on en0]");
    // At each separator character.
    const CharacterSet comma = CharacterSet::characterSetWithCharactersInString(",");
    const TextCase each[] = {
        {"a,b,,c", "[a][b][][c]"}, {",a", "[][a]"}, {",,a", "[][][a]"}, {"a,", "[a]"},
        {"a,,", "[a][]"},          {",,", "[][]"},  {"", ""},
    };
    for (const auto &[text, items] : each)
        EXPECT_EQ(bracketed(componentsSeparatedByACharacterFromSet(text, comma)), items);
}

} // namespace

} // namespace flowtally
