#include "WBLib/WBNSStringLinesFromString.h"

namespace flowtally {

namespace {

bool isLineEnd(QChar c) {
    const char16_t unit = c.unicode();
    return unit == u'\n' || unit == u'\r' || unit == 0x85 || unit == 0x2028 || unit == 0x2029;
}

struct LineBounds {
    TextRange contents;
    qsizetype end = 0; // just past the line's end
};

// The line that starts at `start`.
LineBounds lineStartingAt(const QString &text, qsizetype start) {
    qsizetype contentsEnd = start;
    while (contentsEnd < text.size() && !isLineEnd(text[contentsEnd]))
        ++contentsEnd;
    qsizetype end = contentsEnd;
    if (end < text.size()) {
        const bool crlf = text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n';
        end += crlf ? 2 : 1;
    }
    return {{start, contentsEnd - start}, end};
}

template <typename Visit> void forEachLine(const QString &text, Visit visit) {
    for (qsizetype position = 0; position < text.size();) {
        const LineBounds line = lineStartingAt(text, position);
        visit(line.contents);
        position = line.end;
    }
}

} // namespace

QStringList lines(const QString &text) {
    QStringList result;
    forEachLine(text,
                [&](TextRange range) { result.append(text.mid(range.location, range.length)); });
    return result;
}

QList<TextRange> lineRanges(const QString &text) {
    QList<TextRange> result;
    forEachLine(text, [&](TextRange range) { result.append(range); });
    return result;
}

} // namespace flowtally
