#include "net/SnmpCommunityFile.h"

#include "platform/system/PrivateFolder.h"
#include "platform/system/RuntimeFolder.h"

#include <mutex>
#include <optional>

namespace flowtally {

namespace {

const QString kFolderName = QStringLiteral("snmp");
const QString kFileName = QStringLiteral("snmp.conf");

// What was written last, and where: the file is rewritten only on a change.
std::mutex mutex;
QString writtenFolder;
QString writtenCommunity;
std::optional<FileIdentity> writtenFile;

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

// The folder "snmp" in the runtime folder, private.
Status openCommunityFolder(PrivateFolder *folder) {
    PrivateFolder runtime;
    const Status opened = openRuntimeFolder(&runtime);
    return opened.ok() ? runtime.subfolder(kFolderName, folder) : opened;
}

} // namespace

QString snmpCommunityVariable() {
    std::lock_guard lock(mutex);
    return QStringLiteral("SNMPCONFPATH=") + writtenFolder;
}

bool isWritableSnmpCommunity(const QString &community) {
    return !community.contains(QLatin1Char('\n')) && !community.contains(QLatin1Char('\r'));
}

Status writeSnmpCommunityFile(const QString &community) {
    std::lock_guard lock(mutex);
    PrivateFolder folder;
    const Status opened = openCommunityFolder(&folder);
    if (opened.ok() && folder.path() == writtenFolder && community == writtenCommunity &&
        writtenFile && folder.fileIdentity(kFileName) == writtenFile)
        return Status::success();
    writtenFolder.clear();
    writtenFile.reset();
    if (!isWritableSnmpCommunity(community)) {
        const Status removed = opened.ok() ? folder.remove(kFileName) : Status::success();
        return removed.ok()
                   ? Status::invalidArgument(QStringLiteral("the SNMP community holds a line end, "
                                                            "which the SNMP tools cannot read"))
                   : removed;
    }
    if (!opened.ok())
        return opened;
    const Status written =
        folder.writeFile(kFileName, "defCommunity " + quotedWord(community) + '\n');
    if (written.ok()) {
        writtenFolder = folder.path();
        writtenCommunity = community;
        writtenFile = folder.fileIdentity(kFileName);
    }
    return written;
}

Status removeSnmpCommunityFile() {
    std::lock_guard lock(mutex);
    writtenFolder.clear();
    writtenFile.reset();
    PrivateFolder folder;
    // Without a private folder no file of Flowtally's can be there.
    if (!openCommunityFolder(&folder).ok())
        return Status::success();
    return folder.remove(kFileName);
}

} // namespace flowtally
