#pragma once

#include "platform/text/CharacterSet.h"

#include <QString>

#include <optional>

namespace flowtally {

// Reads a text piece by piece from a moving position, the way Flowtally's
// splitters and number readers walk their input. Before every scan the
// characters to be skipped are passed over (white space and line ends
// unless set otherwise). A scan that finds nothing leaves the position
// where it was and answers false.
class Scanner {
  public:
    explicit Scanner(QString text);

    // No value: skip nothing.
    void setCharactersToBeSkipped(std::optional<CharacterSet> characters);

    // A run of characters from the set.
    bool scanCharactersFromSet(const CharacterSet &set, QString *into = nullptr);
    // Everything up to the next character from the set, or to the end.
    bool scanUpToCharactersFromSet(const CharacterSet &set, QString *into = nullptr);
    // An optional sign and a run of decimal digits (of any script). A value
    // beyond the signed 64-bit range saturates at its limit; all its digits
    // are consumed.
    bool scanInteger(qint64 *value = nullptr);
    // An optional sign, digits with an optional decimal point (at least one
    // digit) and an optional exponent. A value too large for a double gives
    // ±infinity, one too small 0, as strtod does.
    bool scanDouble(double *value = nullptr);

    // True when nothing but characters to be skipped remains.
    bool isAtEnd() const;
    qsizetype scanLocation() const { return location_; }

  private:
    qsizetype afterSkipped() const;
    // The characters that are (or are not) members of the set.
    bool scanRun(const CharacterSet &set, bool members, QString *into);

    QString text_;
    qsizetype location_ = 0;
    std::optional<CharacterSet> skipped_;
};

} // namespace flowtally
