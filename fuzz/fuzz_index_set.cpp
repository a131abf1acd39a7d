// Index sets read from a typed list ("1, 3-5"), and the list's words picked
// by them. The input is the list as UTF-8.
#include "fuzz/FuzzCheck.h"
#include "WBLib/IndexSetFromIndices.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace flowtally;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const IndexSet fromText = indexSetFromStringList(text);
    fuzzCheck(fromText.count() <= text.size(), "no more indices than characters");

    const QStringList words = text.split(u' ', Qt::SkipEmptyParts);
    QVariantList objects;
    for (const QString &word : words)
        objects.append(word);
    const IndexSet fromWords = indexSetFromArray(objects);
    fuzzCheck(fromWords.count() <= words.size(), "no more indices than words");

    for (const IndexSet &indexes : {fromText, fromWords}) {
        const std::optional<QStringList> picked = objectsAtIndexes(words, indexes);
        const bool inRange =
            indexes.isEmpty() || *std::prev(indexes.end()) < IndexSet::Index(words.size());
        fuzzCheck(picked.has_value() == inRange, "words are picked when every index is in range");
        fuzzCheck(!picked || picked->size() == indexes.count(), "one word per index");
    }
    return 0;
}
