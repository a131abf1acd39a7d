// The splitters and line cutters that take tool output apart. The input is
// UTF-8: up to its first NUL byte the separator characters (white space and
// line ends when there is no NUL), after it the text. Fields and lines must
// put the text back together and never hold what separates them.
#include "WBLib/ComponentsSeparatedByCharactersFromSet.h"
#include "fuzz/FuzzCheck.h"
#include "WBLib/WBNSStringLinesFromString.h"

namespace flowtally {

namespace {

bool holdsMember(const QString &text, const CharacterSet &set) {
    return std::any_of(text.cbegin(), text.cend(),
                       [&](QChar c) { return set.characterIsMember(c); });
}

QString withoutMembers(QString text, const CharacterSet &set) {
    text.removeIf([&](QChar c) { return set.characterIsMember(c); });
    return text;
}

void checkFields(const QString &text, const CharacterSet &set) {
    const QString kept = withoutMembers(text, set);
    const qsizetype separators = text.size() - kept.size();

    const QStringList runs = componentsSeparatedByCharactersFromSet(text, set);
    fuzzCheck(text.isEmpty() == runs.isEmpty(), "only an empty text has no fields");
    fuzzCheck(runs.join(QString()) == kept, "fields are the text between separator runs");
    for (qsizetype i = 0; i < runs.size(); ++i) {
        fuzzCheck(!holdsMember(runs[i], set), "a field holds no separator");
        fuzzCheck(!runs[i].isEmpty() || i == 0 || i == runs.size() - 1,
                  "only the first and the last field can be empty");
    }

    const QStringList each = componentsSeparatedByACharacterFromSet(text, set);
    fuzzCheck(each.join(QString()) == kept, "fields are the text between separators");
    const bool trailingText = !text.isEmpty() && !set.characterIsMember(text.back());
    fuzzCheck(each.size() == separators + (trailingText ? 1 : 0),
              "each separator ends one field, and text after the last is one more");
    for (const QString &field : each)
        fuzzCheck(!holdsMember(field, set), "a field holds no separator");
}

bool isLineEnd(QChar c) {
    return c == u'\n' || c == u'\r' || c == QChar(0x85) || c == QChar(0x2028) || c == QChar(0x2029);
}

void checkLines(const QString &text) {
    const QStringList contents = lines(text);
    const QList<TextRange> ranges = lineRanges(text);
    fuzzCheck(contents.size() == ranges.size(), "one range per line");
    qsizetype next = 0;
    for (qsizetype i = 0; i < ranges.size(); ++i) {
        const TextRange range = ranges[i];
        fuzzCheck(range.location == next && range.length >= 0 &&
                      range.location + range.length <= text.size(),
                  "a line starts where the one before ended");
        fuzzCheck(contents[i] == text.mid(range.location, range.length),
                  "a line's contents are its range");
        fuzzCheck(std::none_of(contents[i].cbegin(), contents[i].cend(), isLineEnd),
                  "a line holds no line end");
        next = range.location + range.length;
        if (next < text.size()) {
            const bool crlf =
                text[next] == u'\r' && next + 1 < text.size() && text[next + 1] == u'\n';
            next += crlf ? 2 : 1;
        }
    }
    fuzzCheck(next == text.size(), "the lines cover the text");
}

} // namespace

} // namespace flowtally

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace flowtally;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype nul = bytes.indexOf('\0');
    const CharacterSet set =
        nul < 0
            ? CharacterSet::whitespaceAndNewlineCharacterSet()
            : CharacterSet::characterSetWithCharactersInString(QString::fromUtf8(bytes.left(nul)));
    const QString text = QString::fromUtf8(nul < 0 ? bytes : bytes.mid(nul + 1));
    checkFields(text, set);
    checkLines(text);
    return 0;
}
