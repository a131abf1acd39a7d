#include "HostName.h"

#include <QSysInfo>

namespace flowtally {

QString currentHostName() {
    return QSysInfo::machineHostName();
}

} // namespace flowtally
