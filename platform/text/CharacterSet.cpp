#include "platform/text/CharacterSet.h"

namespace flowtally {

namespace {

template <typename Test> std::shared_ptr<const std::bitset<0x10000>> membersWhere(Test test) {
    auto members = std::make_shared<std::bitset<0x10000>>();
    for (char32_t unit = 0; unit < 0x10000; ++unit)
        members->set(unit, test(QChar(char16_t(unit))));
    return members;
}

} // namespace

CharacterSet::CharacterSet() : members_(std::make_shared<const Members>()) {}

CharacterSet::CharacterSet(std::shared_ptr<const Members> members, bool inverted)
    : members_(std::move(members)), inverted_(inverted) {}

CharacterSet CharacterSet::whitespaceAndNewlineCharacterSet() {
    static const auto members = membersWhere([](QChar c) {
        const char16_t unit = c.unicode();
        return (unit >= 0x09 && unit <= 0x0D) || unit == 0x85 || unit == 0x2028 || unit == 0x2029 ||
               c.category() == QChar::Separator_Space;
    });
    return CharacterSet(members, false);
}

CharacterSet CharacterSet::decimalDigitCharacterSet() {
    static const auto members =
        membersWhere([](QChar c) { return c.category() == QChar::Number_DecimalDigit; });
    return CharacterSet(members, false);
}

CharacterSet CharacterSet::characterSetWithCharactersInString(const QString &characters) {
    auto members = std::make_shared<Members>();
    for (QChar c : characters)
        members->set(c.unicode());
    return CharacterSet(std::move(members), false);
}

CharacterSet CharacterSet::invertedSet() const {
    return CharacterSet(members_, !inverted_);
}

bool CharacterSet::characterIsMember(QChar character) const {
    return members_->test(character.unicode()) != inverted_;
}

} // namespace flowtally
