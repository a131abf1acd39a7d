#pragma once

#include "platform/text/CharacterSet.h"

#include <QString>
#include <QStringList>

namespace flowtally {

// Splitting a text into fields at the characters of a separator set.

// Each maximal run of separators separates two fields, so fields between
// runs are never empty. A leading run gives one empty first field, a
// trailing run one empty last field; an empty text gives no fields.
QStringList componentsSeparatedByCharactersFromSet(const QString &text, const CharacterSet &set);

// Every separator character ends the field before it, which is empty at
// the start and between adjacent separators. The text after the last
// separator is a field only when it is not empty: a trailing run of n
// separators gives n − 1 empty fields.
QStringList componentsSeparatedByACharacterFromSet(const QString &text, const CharacterSet &set);

} // namespace flowtally
