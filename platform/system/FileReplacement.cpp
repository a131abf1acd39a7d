#include "platform/system/FileReplacement.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace flowtally {

namespace {

// Names tried for the new file before giving up: each one taken already
// means another writer of the same name, which ends soon.
constexpr int kNameTries = 100;

// "NAME.XXXXXX", six letters or digits of chance.
QByteArray temporaryName(const QByteArray &name) {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray temporary = name + '.';
    for (int i = 0; i < 6; ++i)
        temporary += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))];
    return temporary;
}

bool writeAll(int fd, const QByteArray &data) {
    const char *next = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, next, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        next += written;
        left -= written;
    }
    return true;
}

// Whether the open file is a plain file of this user's that nobody else may reach.
bool isOwnersOnly(int fd) {
    struct stat status {};
    return ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == ::geteuid() &&
           (status.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

} // namespace

Status replaceFileIn(int folder, const QString &name, const QByteArray &data, const QString &path,
                     bool ownerOnly, mode_t mode) {
    const QByteArray target = QFile::encodeName(name);
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < kNameTries; ++attempt) {
        temporary = temporaryName(target);
        fd = ::openat(folder, temporary.constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return Status::systemError(
            QStringLiteral("cannot make a file in %1").arg(QFileInfo(path).absolutePath()), errno);
    if (ownerOnly && !isOwnersOnly(fd)) {
        ::close(fd);
        ::unlinkat(folder, temporary.constData(), 0);
        return Status::refused(
            QStringLiteral("cannot make %1 readable by this user alone").arg(path));
    }
    if (!writeAll(fd, data) || ::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlinkat(folder, temporary.constData(), 0);
        return Status::systemError(QStringLiteral("cannot write %1").arg(path), error);
    }
    if (::close(fd) != 0 ||
        ::renameat(folder, temporary.constData(), folder, target.constData()) != 0) {
        const int error = errno;
        ::unlinkat(folder, temporary.constData(), 0);
        return Status::systemError(QStringLiteral("cannot replace %1").arg(path), error);
    }
    // The rename itself lasts once the folder is flushed too.
    ::fsync(folder);
    return Status::success();
}

} // namespace flowtally
