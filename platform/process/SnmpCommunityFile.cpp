#include "SnmpCommunityFile.h"

#include "Environment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace flowtally {

namespace {

// What was written last, and where: the file is rewritten only on a change.
std::mutex mutex;
QString writtenPath;
QString writtenCommunity;

// The community as one quoted word of net-snmp's configuration syntax: a
// backslash takes the next character literally.
QByteArray quotedWord(const QString &community) {
    QByteArray word = "\"";
    for (const char byte : community.toUtf8()) {
        if (byte == '"' || byte == '\\')
            word += '\\';
        word += byte;
    }
    return word + '"';
}

// The folder, 0700 whatever the umask made of it.
Status makePrivateFolder(const QString &folder) {
    if (!QDir().mkpath(folder))
        return Status::error(QStringLiteral("cannot make the folder %1").arg(folder));
    if (::chmod(QFile::encodeName(folder).constData(), S_IRWXU) != 0)
        return Status::systemError(QStringLiteral("cannot make %1 private").arg(folder), errno);
    return Status::success();
}

Status removeFile(const QString &path) {
    if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT)
        return Status::systemError(QStringLiteral("cannot remove %1").arg(path), errno);
    return Status::success();
}

} // namespace

QString snmpCommunityFolder() {
    return QDir(Environment::current().runtimeFolder()).filePath(QStringLiteral("snmp"));
}

QString snmpCommunityFilePath() {
    return QDir(snmpCommunityFolder()).filePath(QStringLiteral("snmp.conf"));
}

QString snmpCommunityVariable() {
    return QStringLiteral("SNMPCONFPATH=") + snmpCommunityFolder();
}

Status writeSnmpCommunityFile(const QString &community) {
    const QString path = snmpCommunityFilePath();
    std::lock_guard lock(mutex);
    if (path == writtenPath && community == writtenCommunity && QFileInfo::exists(path))
        return Status::success();
    writtenPath.clear();
    if (community.contains(QLatin1Char('\n')) || community.contains(QLatin1Char('\r'))) {
        const Status removed = removeFile(path);
        return removed.ok() ? Status::error(QStringLiteral("the SNMP community holds a line end, "
                                                           "which the SNMP tools cannot read"))
                            : removed;
    }
    Status status = makePrivateFolder(snmpCommunityFolder());
    // The temporary file that becomes it is made 0600.
    if (status.ok())
        status = Environment::current().writeFileAtomically(path, "defCommunity " +
                                                                      quotedWord(community) + '\n');
    if (status.ok()) {
        writtenPath = path;
        writtenCommunity = community;
    }
    return status;
}

Status removeSnmpCommunityFile() {
    std::lock_guard lock(mutex);
    writtenPath.clear();
    return removeFile(snmpCommunityFilePath());
}

} // namespace flowtally
