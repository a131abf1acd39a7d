#include "platform/system/PrivateFolder.h"

#include "platform/system/FileReplacement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace flowtally {

namespace {

// How often an entry in the way is removed before making one gives up:
// only this user can put entries into a private folder, so a second try
// that finds one again meets a process of this user's that goes on making it.
constexpr int kTries = 3;

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr mode_t kOthersAccess = S_IRWXG | S_IRWXO;

// Why the folder open at the descriptor is not private; empty where it is.
QString notPrivate(const struct stat &status) {
    if (!S_ISDIR(status.st_mode))
        return QStringLiteral("is not a folder");
    if (status.st_uid != ::geteuid())
        return QStringLiteral("belongs to user %1").arg(status.st_uid);
    if ((status.st_mode & kOthersAccess) != 0)
        return QStringLiteral("is open to other users (mode %1)")
            .arg(status.st_mode & 07777, 4, 8, QLatin1Char('0'));
    return {};
}

// What stands at a name that cannot be opened as a folder, for an error.
QString kindOf(int folder, const QByteArray &name) {
    struct stat status {};
    if (::fstatat(folder, name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return QStringLiteral("cannot be opened");
    return S_ISLNK(status.st_mode) ? QStringLiteral("is a link")
                                   : QStringLiteral("is not a folder");
}

} // namespace

PrivateFolder::~PrivateFolder() {
    if (fd_ >= 0)
        ::close(fd_);
}

PrivateFolder::PrivateFolder(PrivateFolder &&other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

PrivateFolder &PrivateFolder::operator=(PrivateFolder &&other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

Status PrivateFolder::open(const QString &path, PrivateFolder *folder) {
    if (path.isEmpty() || QDir::isRelativePath(path))
        return Status::invalidArgument(QStringLiteral("\"%1\" is no absolute folder").arg(path));
    const QString clean = QDir::cleanPath(path);
    const QByteArray bytes = QFile::encodeName(clean);
    QDir().mkpath(QFileInfo(clean).absolutePath());
    if (::mkdir(bytes.constData(), S_IRWXU) != 0 && errno != EEXIST)
        return Status::systemError(QStringLiteral("cannot make the folder %1").arg(clean), errno);
    const int fd = ::open(bytes.constData(), kFolderFlags);
    if (fd < 0) {
        if (errno == ELOOP || errno == ENOTDIR)
            return Status::refused(clean + QLatin1Char(' ') + kindOf(AT_FDCWD, bytes));
        return Status::systemError(QStringLiteral("cannot open the folder %1").arg(clean), errno);
    }
    struct stat status {};
    const QString problem =
        ::fstat(fd, &status) != 0 ? QStringLiteral("cannot be looked at") : notPrivate(status);
    if (!problem.isEmpty()) {
        ::close(fd);
        return Status::refused(clean + QLatin1Char(' ') + problem);
    }
    *folder = PrivateFolder(fd, clean);
    return Status::success();
}

QString PrivateFolder::filePath(const QString &name) const {
    return path_ + QLatin1Char('/') + name;
}

bool PrivateFolder::removeInTheWay(const QByteArray &name) const {
    struct stat status {};
    if (::fstatat(fd_, name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    // A folder goes only when it is empty: what it holds is not ours to judge.
    const int flags = S_ISDIR(status.st_mode) ? AT_REMOVEDIR : 0;
    return ::unlinkat(fd_, name.constData(), flags) == 0 || errno == ENOENT;
}

Status PrivateFolder::subfolder(const QString &name, PrivateFolder *folder) const {
    const QByteArray entry = QFile::encodeName(name);
    const QString path = filePath(name);
    for (int attempt = 0; attempt < kTries; ++attempt) {
        if (::mkdirat(fd_, entry.constData(), S_IRWXU) != 0 && errno != EEXIST)
            return Status::systemError(QStringLiteral("cannot make the folder %1").arg(path),
                                       errno);
        const int fd = ::openat(fd_, entry.constData(), kFolderFlags);
        if (fd < 0) {
            if (errno != ELOOP && errno != ENOTDIR && errno != ENOENT)
                return Status::systemError(QStringLiteral("cannot open the folder %1").arg(path),
                                           errno);
            // A link or a file where the folder belongs.
            if (!removeInTheWay(entry))
                return Status::systemError(
                    QStringLiteral("cannot remove %1, which %2").arg(path, kindOf(fd_, entry)),
                    errno);
            continue;
        }
        struct stat status {};
        if (::fstat(fd, &status) != 0) {
            const int error = errno;
            ::close(fd);
            return Status::systemError(QStringLiteral("cannot look at %1").arg(path), error);
        }
        if (status.st_uid == ::geteuid()) {
            if ((status.st_mode & kOthersAccess) != 0 && ::fchmod(fd, S_IRWXU) != 0) {
                const int error = errno;
                ::close(fd);
                return Status::systemError(QStringLiteral("cannot make %1 private").arg(path),
                                           error);
            }
            *folder = PrivateFolder(fd, path);
            return Status::success();
        }
        ::close(fd);
        if (::unlinkat(fd_, entry.constData(), AT_REMOVEDIR) != 0 && errno != ENOENT)
            return Status::refused(path + QLatin1Char(' ') + notPrivate(status) +
                                   QStringLiteral(" and holds files"));
    }
    return Status::refused(QStringLiteral("cannot make the folder %1: something keeps taking its "
                                          "place")
                               .arg(path));
}

Status PrivateFolder::openFile(const QString &name, int *descriptor) const {
    const QByteArray entry = QFile::encodeName(name);
    const QString path = filePath(name);
    for (int attempt = 0; attempt < kTries; ++attempt) {
        struct stat status {};
        const bool ours = ::fstatat(fd_, entry.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                          S_ISREG(status.st_mode) && status.st_uid == ::geteuid();
        if (!ours && !removeInTheWay(entry))
            return Status::systemError(
                QStringLiteral("cannot remove %1, which is in the way").arg(path), errno);
        const int fd = ::openat(fd_, entry.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC,
                                S_IRUSR | S_IWUSR);
        if (fd < 0) {
            if (errno != ELOOP && errno != EISDIR && errno != ENXIO)
                return Status::systemError(QStringLiteral("cannot open %1").arg(path), errno);
            continue;
        }
        if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_uid == ::geteuid() &&
            ((status.st_mode & kOthersAccess) == 0 || ::fchmod(fd, S_IRUSR | S_IWUSR) == 0)) {
            *descriptor = fd;
            return Status::success();
        }
        ::close(fd);
    }
    return Status::refused(
        QStringLiteral("cannot open %1: something keeps taking its place").arg(path));
}

Status PrivateFolder::writeFile(const QString &name, const QByteArray &data) const {
    return replaceFileIn(fd_, name, data, filePath(name), true);
}

std::optional<FileIdentity> PrivateFolder::fileIdentity(const QString &name) const {
    struct stat status {};
    if (::fstatat(fd_, QFile::encodeName(name).constData(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(status.st_mode))
        return std::nullopt;
    return FileIdentity{status.st_dev, status.st_ino};
}

Status PrivateFolder::remove(const QString &name) const {
    if (::unlinkat(fd_, QFile::encodeName(name).constData(), 0) != 0 && errno != ENOENT)
        return Status::systemError(QStringLiteral("cannot remove %1").arg(filePath(name)), errno);
    return Status::success();
}

} // namespace flowtally
