#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace flowtally {

// Bytes decoded as UTF-8 text; absent when they are not valid UTF-8 (a
// sequence cut off at the end included). No bytes give an empty text.
std::optional<QString> decodeUtf8(const QByteArray &bytes);

} // namespace flowtally
