#pragma once

#include <QStringList>

#include <initializer_list>
#include <optional>
#include <set>

namespace flowtally {

// A set of distinct unsigned indices, always held and visited in ascending
// order; adding an index that is present changes nothing.
class IndexSet {
  public:
    using Index = quint64;
    using const_iterator = std::set<Index>::const_iterator;

    IndexSet() = default;
    IndexSet(std::initializer_list<Index> indexes) : indexes_(indexes) {}

    void addIndex(Index index) { indexes_.insert(index); }
    qsizetype count() const { return qsizetype(indexes_.size()); }
    bool isEmpty() const { return indexes_.empty(); }

    const_iterator begin() const { return indexes_.begin(); }
    const_iterator end() const { return indexes_.end(); }

    bool operator==(const IndexSet &other) const = default;

  private:
    std::set<Index> indexes_;
};

// The list's elements at the indices, in ascending order of index. No value
// when an index lies beyond the end of the list.
std::optional<QStringList> objectsAtIndexes(const QStringList &list, const IndexSet &indexes);

} // namespace flowtally
