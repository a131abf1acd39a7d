#include "platform/system/Status.h"

#include <cerrno>
#include <system_error>

namespace flowtally {

namespace {

Status::Code codeOf(int errorNumber) {
    switch (errorNumber) {
    case ENOENT:
    case ENOTDIR:
    case ESRCH:
        return Status::Code::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return Status::Code::Refused;
    default:
        return Status::Code::IoError;
    }
}

} // namespace

Status Status::systemError(const QString &what, int errorNumber) {
    const QString reason = QString::fromStdString(std::generic_category().message(errorNumber));
    return Status(codeOf(errorNumber),
                  what.isEmpty() ? reason : what + QStringLiteral(": ") + reason, errorNumber);
}

} // namespace flowtally
