#include "platform/text/Scanner.h"

#include "platform/text/Numbers.h"

#include <limits>

namespace flowtally {

namespace {

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

} // namespace

Scanner::Scanner(QString text)
    : text_(std::move(text)), skipped_(CharacterSet::whitespaceAndNewlineCharacterSet()) {}

void Scanner::setCharactersToBeSkipped(std::optional<CharacterSet> characters) {
    skipped_ = std::move(characters);
}

qsizetype Scanner::afterSkipped() const {
    qsizetype at = location_;
    if (skipped_) {
        while (at < text_.size() && skipped_->characterIsMember(text_[at]))
            ++at;
    }
    return at;
}

bool Scanner::isAtEnd() const {
    return afterSkipped() >= text_.size();
}

bool Scanner::scanRun(const CharacterSet &set, bool members, QString *into) {
    const qsizetype start = afterSkipped();
    qsizetype end = start;
    while (end < text_.size() && set.characterIsMember(text_[end]) == members)
        ++end;
    if (end == start)
        return false;
    if (into)
        *into = text_.mid(start, end - start);
    location_ = end;
    return true;
}

bool Scanner::scanCharactersFromSet(const CharacterSet &set, QString *into) {
    return scanRun(set, true, into);
}

bool Scanner::scanUpToCharactersFromSet(const CharacterSet &set, QString *into) {
    return scanRun(set, false, into);
}

bool Scanner::scanInteger(qint64 *value) {
    qsizetype at = afterSkipped();
    const bool negative = at < text_.size() && text_[at] == u'-';
    if (at < text_.size() && (text_[at] == u'-' || text_[at] == u'+'))
        ++at;
    const qsizetype digitsStart = at;
    // Accumulated as a negative number, whose range is one larger.
    qint64 magnitude = 0;
    bool overflow = false;
    constexpr qint64 lowest = std::numeric_limits<qint64>::min();
    for (; at < text_.size(); ++at) {
        const int digit = text_[at].digitValue();
        if (digit < 0 || text_[at].category() != QChar::Number_DecimalDigit)
            break;
        if (magnitude < (lowest + digit) / 10)
            overflow = true;
        else
            magnitude = magnitude * 10 - digit;
    }
    if (at == digitsStart)
        return false;
    location_ = at;
    if (value) {
        if (overflow)
            *value = negative ? lowest : std::numeric_limits<qint64>::max();
        else if (negative)
            *value = magnitude;
        else
            *value = magnitude == lowest ? std::numeric_limits<qint64>::max() : -magnitude;
    }
    return true;
}

bool Scanner::scanDouble(double *value) {
    const qsizetype start = afterSkipped();
    qsizetype at = start;
    auto skipDigits = [&] {
        const qsizetype from = at;
        while (at < text_.size() && isAsciiDigit(text_[at]))
            ++at;
        return at - from;
    };
    if (at < text_.size() && (text_[at] == u'-' || text_[at] == u'+'))
        ++at;
    qsizetype digits = skipDigits();
    if (at < text_.size() && text_[at] == u'.') {
        ++at;
        digits += skipDigits();
    }
    if (digits == 0)
        return false;
    if (at < text_.size() && (text_[at] == u'e' || text_[at] == u'E')) {
        const qsizetype mantissaEnd = at;
        ++at;
        if (at < text_.size() && (text_[at] == u'-' || text_[at] == u'+'))
            ++at;
        if (skipDigits() == 0)
            at = mantissaEnd; // "1e" is the number 1 followed by a letter
    }
    location_ = at;
    if (value) {
        *value = cStringToDouble(text_.mid(start, at - start).toLatin1());
    }
    return true;
}

} // namespace flowtally
