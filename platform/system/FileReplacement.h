#pragma once

#include "platform/system/Status.h"

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

namespace flowtally {

// Replaces the entry `name` of the folder open at the descriptor `folder`
// with a file that holds the data, so that a crash or power cut leaves
// either the old file or the new one: a new file of its own name beside it
// (made with O_EXCL and O_NOFOLLOW, 0600), written, flushed and renamed over
// the entry, then the folder flushed. Nothing is written through a link: a
// link in the entry's place is replaced, not followed. With `ownerOnly` the
// new file must also show this user as its owner and no access for group or
// others before anything is written to it. The new file is made with `mode`
// (less the umask): by default for this user alone. `path` names the file in
// errors.
Status replaceFileIn(int folder, const QString &name, const QByteArray &data, const QString &path,
                     bool ownerOnly = false, mode_t mode = S_IRUSR | S_IWUSR);

} // namespace flowtally
