#pragma once

// Failure messages show a text as text.
#include <QString>

#include <ostream>

inline void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}
inline std::ostream &operator<<(std::ostream &out, const QString &text) {
    return out << text.toStdString();
}
