#include "platform/text/IndexSet.h"

namespace flowtally {

std::optional<QStringList> objectsAtIndexes(const QStringList &list, const IndexSet &indexes) {
    QStringList picked;
    picked.reserve(indexes.count());
    for (IndexSet::Index index : indexes) {
        if (index >= IndexSet::Index(list.size()))
            return std::nullopt;
        picked.append(list[qsizetype(index)]);
    }
    return picked;
}

} // namespace flowtally
