#include "WBLib/IndexSetFromIndices.h"

#include "platform/text/Numbers.h"
#include "platform/text/Scanner.h"

namespace flowtally {

IndexSet indexSetFromCArray(const int32_t *values, uint32_t count) {
    QVariantList numbers;
    for (uint32_t i = 0; i < count; ++i)
        numbers.append(values[i]);
    return indexSetFromArray(numbers);
}

IndexSet indexSetFromStringList(const QString &list) {
    Scanner scanner(list);
    scanner.setCharactersToBeSkipped(CharacterSet::decimalDigitCharacterSet().invertedSet());
    QVariantList numbers;
    qint64 number = 0;
    while (scanner.scanInteger(&number))
        numbers.append(number);
    return indexSetFromArray(numbers);
}

IndexSet indexSetFromArray(const QVariantList &objects) {
    IndexSet indexes;
    for (const QVariant &object : objects) {
        const qint64 index = integerValueOf(object);
        if (index >= 0)
            indexes.addIndex(IndexSet::Index(index));
    }
    return indexes;
}

} // namespace flowtally
