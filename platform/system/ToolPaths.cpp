#include "platform/system/ToolPaths.h"

#include <QDir>
#include <QFileInfo>

namespace flowtally {

namespace {

QString executableDirectory() {
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}

QString helper(const QString &name) {
    return QDir(helperDirectory()).filePath(name);
}

} // namespace

QString platformToolPath(const QString &tool) {
    if (tool == kNetstatTool)
        return helper(QStringLiteral("flowtally-netstat"));
    if (tool == kArpTool)
        return helper(QStringLiteral("flowtally-arp"));
    // snmpget, snmpwalk and snmptranslate are the same net-snmp tools here.
    return tool;
}

QString helperDirectory() {
    static const QString directory = [] {
        const QString beside = executableDirectory();
        if (QFileInfo::exists(QDir(beside).filePath(QStringLiteral("flowtally-netstat"))))
            return beside;
        const QString installed = QDir::cleanPath(beside + QStringLiteral("/../libexec/flowtally"));
        if (QFileInfo::exists(QDir(installed).filePath(QStringLiteral("flowtally-netstat"))))
            return installed;
        return beside;
    }();
    return directory;
}

} // namespace flowtally
