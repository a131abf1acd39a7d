#include "ToolPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <mutex>

namespace flowtally {

namespace {

std::mutex tableMutex;
QHash<QString, QString> overrides;

QString executableDirectory() {
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}

QString helper(const QString &name) {
    return QDir(helperDirectory()).filePath(name);
}

QString platformPath(const QString &tool) {
    if (tool == kNetstatTool)
        return helper(QStringLiteral("flowtally-netstat"));
    if (tool == kArpTool)
        return helper(QStringLiteral("flowtally-arp"));
    // snmpget and snmpwalk are the same net-snmp tools here.
    return tool;
}

} // namespace

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

QString toolPath(const QString &tool) {
    {
        std::lock_guard lock(tableMutex);
        const auto found = overrides.constFind(tool);
        if (found != overrides.constEnd())
            return *found;
    }
    return platformPath(tool);
}

void setToolPath(const QString &tool, const QString &path) {
    std::lock_guard lock(tableMutex);
    if (path.isEmpty())
        overrides.remove(tool);
    else
        overrides.insert(tool, path);
}

} // namespace flowtally
