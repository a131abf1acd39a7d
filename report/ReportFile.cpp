#include "report/ReportFile.h"

#include "platform/system/FileReplacement.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace flowtally {

Status writeReportFile(const QString &path, const QByteArray &report) {
    const QFileInfo file(path);
    const QString folder = file.absolutePath();
    const int folderFd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0)
        return Status::systemError(QStringLiteral("cannot open the folder %1").arg(folder), errno);
    const Status status = replaceFileIn(folderFd, file.fileName(), report, path, false,
                                        S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH);
    ::close(folderFd);
    return status;
}

} // namespace flowtally
