#pragma once

#include <QChar>
#include <QString>

#include <bitset>
#include <memory>

namespace flowtally {

// A set of UTF-16 code units, as Flowtally's scanners and splitters test
// characters. Copies are cheap and may be shared between threads.
class CharacterSet {
  public:
    // The empty set.
    CharacterSet();

    // Space, tab, LF, VT, FF, CR, NEL (U+0085), LINE SEPARATOR (U+2028),
    // PARAGRAPH SEPARATOR (U+2029) and every Unicode space separator (Zs).
    static CharacterSet whitespaceAndNewlineCharacterSet();
    // Unicode decimal digits (Nd) of the Basic Multilingual Plane.
    static CharacterSet decimalDigitCharacterSet();
    // The code units of the text.
    static CharacterSet characterSetWithCharactersInString(const QString &characters);

    // Every code unit that this set does not hold.
    CharacterSet invertedSet() const;

    bool characterIsMember(QChar character) const;

  private:
    using Members = std::bitset<0x10000>;
    CharacterSet(std::shared_ptr<const Members> members, bool inverted);

    std::shared_ptr<const Members> members_;
    bool inverted_ = false;
};

} // namespace flowtally
