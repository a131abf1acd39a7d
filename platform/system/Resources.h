#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace flowtally {

// Flowtally's bundled resources, compiled in with the Qt resource system
// under ":/", looked up by their full file name ("ScaleStrings.plist").

// The path of a resource, ready for QFile or the property-list readers, or
// an empty text when there is no such resource.
QString resourcePath(const QString &name);

// A resource's bytes, or its text decoded as UTF-8; no value when it is missing.
std::optional<QByteArray> resourceData(const QString &name);
std::optional<QString> resourceText(const QString &name);

} // namespace flowtally
