#include "ComponentsSeparatedByCharactersFromSet.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase {
    const char *text;
    QStringList fields;
};

} // namespace

TEST(ComponentsSeparatedByCharactersFromSet, RunsOfSeparatorsSeparateOnce) {
    const CharacterSet blanks = CharacterSet::characterSetWithCharactersInString(" \n");
    const SplitCase cases[] = {
        {"", {}},
        {" \n ", {"", ""}},
        {"word", {"word"}},
        {"one   two", {"one", "two"}},
        {"  lead", {"", "lead"}},
        {"trail \n", {"trail", ""}},
        {" both ", {"", "both", ""}},
        {"a b\nc", {"a", "b", "c"}},
    };
    for (const SplitCase &c : cases)
        EXPECT_EQ(componentsSeparatedByCharactersFromSet(c.text, blanks), c.fields) << c.text;
}

TEST(ComponentsSeparatedByCharactersFromSet, ArpReplyAtParentheses) {
    const CharacterSet parentheses = CharacterSet::characterSetWithCharactersInString("()");
    EXPECT_EQ(componentsSeparatedByCharactersFromSet(
                  "myhost (192.168.1.20) at 0:1:2:3:4:5 on en0 [ethernet]\n", parentheses),
              (QStringList{"myhost ", "192.168.1.20", " at 0:1:2:3:4:5 on en0 [ethernet]\n"}));
}

TEST(ComponentsSeparatedByCharactersFromSet, NetstatLineAtWhiteSpace) {
    EXPECT_EQ(componentsSeparatedByCharactersFromSet(
                  QStringLiteral("eth0\u00A01500 <Link#2>\t 10 0 2048\r\n"),
                  CharacterSet::whitespaceAndNewlineCharacterSet()),
              (QStringList{"eth0", "1500", "<Link#2>", "10", "0", "2048", ""}));
}

TEST(ComponentsSeparatedByACharacterFromSet, EachSeparatorEndsAField) {
    const CharacterSet comma = CharacterSet::characterSetWithCharactersInString(",");
    const SplitCase cases[] = {
        {"a,b,,c", {"a", "b", "", "c"}},
        {",a", {"", "a"}},
        {",,a", {"", "", "a"}},
        {"a,", {"a"}},
        {"a,,", {"a", ""}},
        {",,", {"", ""}},
        {"", {}},
        {"abc", {"abc"}},
    };
    for (const SplitCase &c : cases)
        EXPECT_EQ(componentsSeparatedByACharacterFromSet(c.text, comma), c.fields) << c.text;
}
