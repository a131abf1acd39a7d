#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace flowtally {

// Splitting a text into lines. Line ends are LF, CR, the pair CR LF (one
// end), NEL (U+0085), LINE SEPARATOR (U+2028) and PARAGRAPH SEPARATOR
// (U+2029). A last line without an end counts; a line end at the very end
// of the text starts no further line; an empty text has no lines.

// A stretch of a text, in UTF-16 code units.
struct TextRange {
    qsizetype location = 0;
    qsizetype length = 0;
    bool operator==(const TextRange &other) const = default;
};

// The lines' contents, without their ends.
QStringList lines(const QString &text);

// Where each line's contents lie in the text.
QList<TextRange> lineRanges(const QString &text);

} // namespace flowtally
