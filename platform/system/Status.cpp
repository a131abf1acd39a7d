#include "Status.h"

#include <system_error>

namespace flowtally {

Status Status::systemError(const QString &what, int errorNumber) {
    const QString reason = QString::fromStdString(std::generic_category().message(errorNumber));
    return Status(what.isEmpty() ? reason : what + QStringLiteral(": ") + reason, errorNumber);
}

} // namespace flowtally
