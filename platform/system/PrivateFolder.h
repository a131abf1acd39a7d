#pragma once

#include "platform/system/Status.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <sys/types.h>

namespace flowtally {

// Which file an entry holds: the same while its device and inode are.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity &) const = default;
};

// A folder of this user's alone, held open by its descriptor: a folder (not
// a link to one) that the effective user owns, with no access for group or
// others. Its entries are made, opened and removed relative to that
// descriptor and never through a link, so that nothing planted in it leads
// Flowtally to a file elsewhere, and nothing put in its place afterwards
// changes which folder Flowtally writes to. An entry in the way of one that
// Flowtally makes (a link, a file where a folder belongs) is removed: the
// entry itself, never what it points to. Entry names hold no "/".
// Move-only; the descriptor closes when the object goes. Safe on any thread.
class PrivateFolder {
  public:
    PrivateFolder() = default;
    ~PrivateFolder();
    PrivateFolder(PrivateFolder &&other) noexcept;
    PrivateFolder &operator=(PrivateFolder &&other) noexcept;

    // The folder at an absolute path, made (0700, its parents as the umask
    // says) where it is missing. Fails, leaving what is there as it is, when
    // the path is a link, no folder, another user's folder or a folder open
    // to group or others.
    static Status open(const QString &path, PrivateFolder *folder);

    // Whether a folder is held, and its path.
    bool isOpen() const { return fd_ >= 0; }
    const QString &path() const { return path_; }
    QString filePath(const QString &name) const;

    // The private folder `name` in this one, made where missing. A folder of
    // this user's there is made private (0700); another user's is removed
    // when it is empty, else this fails.
    Status subfolder(const QString &name, PrivateFolder *folder) const;

    // The plain file `name` of this user's, open for reading and writing and
    // 0600 (made where missing); the caller closes the descriptor. A plain
    // file of this user's that is there is opened as it is, so that another
    // process holding it open keeps sharing it.
    Status openFile(const QString &name, int *descriptor) const;

    // Replaces the file `name` with a new one, 0600, holding the data, as
    // replaceFileIn (FileReplacement.h) does.
    Status writeFile(const QString &name, const QByteArray &data) const;

    // The file that `name` holds where it is a plain file; none otherwise.
    std::optional<FileIdentity> fileIdentity(const QString &name) const;

    // Removes the entry `name`, whatever it is but a folder; no entry is fine.
    Status remove(const QString &name) const;

  private:
    PrivateFolder(int fd, QString path) : fd_(fd), path_(std::move(path)) {}

    // Makes the entry in the way of `name` go, where it is of a kind that
    // may be removed; false (errno set) otherwise.
    bool removeInTheWay(const QByteArray &name) const;

    int fd_ = -1;
    QString path_;
};

} // namespace flowtally
