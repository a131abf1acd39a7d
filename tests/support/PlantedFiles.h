#pragma once

#include <QByteArray>
#include <QString>

#include <map>
#include <string>
#include <sys/types.h>

namespace flowtally {

// What a test plants where Flowtally keeps files of its own (folders, files
// and links of any mode), and snapshots that show whether anything below a
// folder was made, changed or removed. False or empty where the system
// refused; a test asserts on it.
bool makeFolder(const QString &path, mode_t mode);
bool makeFile(const QString &path, const QByteArray &text, mode_t mode);
bool makeLink(const QString &target, const QString &path);

// Every entry at and below the path, links not followed, as its kind,
// owner, mode and content or target; equal snapshots mean nothing changed.
std::map<std::string, std::string> snapshot(const QString &path);

// The mode bits of what stands at the path (not following a link); -1 for nothing.
int modeOf(const QString &path);

} // namespace flowtally
