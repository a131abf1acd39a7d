#include "HostName.h"

#include <QSysInfo>

QString currentHostName() {
    return QSysInfo::machineHostName();
}
