#pragma once

#include <QString>

#include <utility>

namespace flowtally {

// Each item in brackets, "[a][][b]", so that a table shows a whole list in
// one text.
template <typename List> QString bracketed(const List &items) {
    QString text;
    for (const auto &item : items)
        text += QStringLiteral("[%1]").arg(item);
    return text;
}

// A text and its items, bracketed.
using TextCase = std::pair<const char *, const char *>;

} // namespace flowtally
