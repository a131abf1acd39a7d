#include "tests/support/PlantedFiles.h"

#include <QDirIterator>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace flowtally {

namespace {

std::string describe(const QString &path) {
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return "nothing";
    std::string text = std::to_string(status.st_uid) + ' ' +
                       QString::number(status.st_mode, 8).toStdString() + ' ';
    if (S_ISLNK(status.st_mode))
        return text + "link to " + QFile::symLinkTarget(path).toStdString();
    if (S_ISREG(status.st_mode)) {
        QFile file(path);
        return text + "file " +
               (file.open(QIODevice::ReadOnly) ? file.readAll().toStdString()
                                               : std::string("(unreadable)"));
    }
    return text + (S_ISDIR(status.st_mode) ? "folder" : "other");
}

} // namespace

bool makeFolder(const QString &path, mode_t mode) {
    const QByteArray bytes = QFile::encodeName(path);
    return ::mkdir(bytes.constData(), 0700) == 0 && ::chmod(bytes.constData(), mode) == 0;
}

bool makeFile(const QString &path, const QByteArray &text, mode_t mode) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(text) == text.size() && ::fchmod(file.handle(), mode) == 0;
}

bool makeLink(const QString &target, const QString &path) {
    return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()) ==
           0;
}

std::map<std::string, std::string> snapshot(const QString &path) {
    std::map<std::string, std::string> entries{{path.toStdString(), describe(path)}};
    QDirIterator below(path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                       QDirIterator::Subdirectories);
    while (below.hasNext()) {
        const QString entry = below.next();
        entries[entry.toStdString()] = describe(entry);
    }
    return entries;
}

int modeOf(const QString &path) {
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return -1;
    return int(status.st_mode & 07777);
}

} // namespace flowtally
