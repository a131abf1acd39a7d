#include "CharacterSet.h"

#include <gtest/gtest.h>

TEST(CharacterSet, WhitespaceAndNewlineHoldsThePlatformsCharacters) {
    const CharacterSet set = CharacterSet::whitespaceAndNewlineCharacterSet();
    for (char16_t unit : {u' ', u'\t', u'\n', u'\v', u'\f', u'\r', char16_t(0x85), char16_t(0xA0),
                          char16_t(0x2003), char16_t(0x2028), char16_t(0x2029), char16_t(0x3000)})
        EXPECT_TRUE(set.characterIsMember(QChar(unit))) << int(unit);
    for (char16_t unit : {u'a', u'0', u'_', char16_t(0), char16_t(0x1F), char16_t(0x200B)})
        EXPECT_FALSE(set.characterIsMember(QChar(unit))) << int(unit);
}

TEST(CharacterSet, DecimalDigitsOfAnyScript) {
    const CharacterSet set = CharacterSet::decimalDigitCharacterSet();
    for (char16_t unit : {u'0', u'9', char16_t(0x0663), char16_t(0xFF15)})
        EXPECT_TRUE(set.characterIsMember(QChar(unit))) << int(unit);
    // Superscripts and Roman numerals are numbers but not decimal digits.
    for (char16_t unit : {u'a', u'.', u'-', char16_t(0x00B2), char16_t(0x2163)})
        EXPECT_FALSE(set.characterIsMember(QChar(unit))) << int(unit);
}

TEST(CharacterSet, FromStringAndInverted) {
    const CharacterSet set = CharacterSet::characterSetWithCharactersInString("()");
    EXPECT_TRUE(set.characterIsMember(u'('));
    EXPECT_TRUE(set.characterIsMember(u')'));
    EXPECT_FALSE(set.characterIsMember(u'['));
    const CharacterSet inverted = set.invertedSet();
    EXPECT_FALSE(inverted.characterIsMember(u'('));
    EXPECT_TRUE(inverted.characterIsMember(u'['));
    EXPECT_TRUE(inverted.invertedSet().characterIsMember(u')'));
    EXPECT_FALSE(CharacterSet().characterIsMember(QChar(0)));
}
