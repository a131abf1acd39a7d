#include "net/SnmpEnvironment.h"

#include "platform/system/Environment.h"
#include "platform/process/ProgramRun.h"
#include "net/SnmpObjects.h"
#include "platform/system/SystemLog.h"
#include "platform/system/ToolPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <mutex>
#include <thread>

namespace flowtally {

namespace {

constexpr std::chrono::milliseconds kTranslateWait{5000};
const QByteArray kModules = "SNMPv2-MIB:IF-MIB";

// Every object the router source asks for, a column by its first row.
QStringList queriedObjects() {
    QStringList objects;
    for (const SnmpObject::Object &scalar : SnmpObject::kScalars)
        objects.append(scalar.name);
    for (const SnmpObject::Object &column : SnmpObject::kColumns)
        objects.append(SnmpObject::column(column, 1));
    return objects;
}

// The text objects must print as plain text, without quotes: the display
// hint of DisplayString.
qsizetype textObjects() {
    qsizetype texts = 0;
    for (const QList<SnmpObject::Object> &objects : {SnmpObject::kScalars, SnmpObject::kColumns})
        texts += std::count_if(objects.begin(), objects.end(),
                               [](const SnmpObject::Object &object) { return object.text; });
    return texts;
}

// The values the set-up settled, as the tools are given them.
std::mutex settledMutex;
QStringList settled;

// Whether the tools, run in our environment with these values of MIBS and
// MIBDIRS ("NAME=value"; none: as it is), name every object symbolically
// ("MODULE::name") and print the text objects plain. They run as Flowtally
// runs them, with a search path of configuration files that holds none of
// the system's (SnmpCommunityFile.h): what a configuration file of the
// system or the user loads does not count.
bool toolsNameTheObjects(const QStringList &variables) {
    const QTemporaryDir noConfiguration;
    // Its standard error, collected, is not looked at.
    const QStringList objects = queriedObjects();
    const ProgramOutcome translate = runProgram(
        {.path = Environment::current().toolPath(kSnmpTranslateTool),
         .arguments = QStringList{QStringLiteral("-Td"), QStringLiteral("-IR")} + objects,
         .environment =
             variables + QStringList{QStringLiteral("SNMPCONFPATH=") + noConfiguration.path()},
         .errors = ErrorText::Collected,
         .timeLimit = kTranslateWait});
    if (!translate.started.ok() || translate.timedOut || translate.status != 0)
        return false;
    int names = 0;
    int plainTexts = 0;
    // Each object's details begin with its full name on a line of its own.
    for (const QString &line : QString::fromUtf8(translate.output).split('\n')) {
        if (line.contains(QLatin1String("MIB::")) && !line.contains(QLatin1Char(' ')) &&
            !line.contains(QLatin1Char('\t')))
            ++names;
        else if (line.contains(QLatin1String("DISPLAY-HINT")) &&
                 line.contains(QLatin1String("\"255a\"")))
            ++plainTexts;
    }
    return names == objects.size() && plainTexts == textObjects();
}

} // namespace

SnmpModules setUpSnmpEnvironment(const QString &bundledFolder) {
    const auto settle = [](const QStringList &variables) {
        std::lock_guard lock(settledMutex);
        settled = variables;
    };
    if (toolsNameTheObjects({})) {
        settle({});
        return SnmpModules::System;
    }

    // Debian's configuration loads no module at all ("mibs :"); the
    // environment overrides it.
    const QString modules = QStringLiteral("MIBS=") + QString::fromLatin1(kModules);
    if (toolsNameTheObjects({modules})) {
        settle({modules});
        systemLog(QStringLiteral("SNMP tools use the system's modules %1")
                      .arg(QString::fromLatin1(kModules)));
        return SnmpModules::SystemNamed;
    }

    // A leading "+" keeps the tools' own folders in front of ours.
    const QString searched = qEnvironmentVariable("MIBDIRS");
    settle({QStringLiteral("MIBDIRS=") + (searched.isEmpty()
                                              ? QLatin1Char('+') + bundledFolder
                                              : searched + QLatin1Char(':') + bundledFolder),
            modules});
    if (!QFileInfo(bundledFolder).isDir())
        systemLog(
            QStringLiteral("SNMP modules of Flowtally missing: no folder %1").arg(bundledFolder));
    else
        systemLog(
            QStringLiteral("SNMP tools use Flowtally's own modules in %1").arg(bundledFolder));
    return SnmpModules::Bundled;
}

namespace {

std::mutex preparing;
std::thread preparation;

} // namespace

void beginSnmpEnvironment(const QString &bundledFolder) {
    std::lock_guard lock(preparing);
    if (!preparation.joinable())
        preparation = std::thread([bundledFolder] { setUpSnmpEnvironment(bundledFolder); });
}

void awaitSnmpEnvironment() {
    std::lock_guard lock(preparing);
    if (preparation.joinable())
        preparation.join();
}

QStringList snmpToolVariables() {
    std::lock_guard lock(settledMutex);
    return settled;
}

QString bundledMibFolder() {
    return QDir::cleanPath(QCoreApplication::applicationDirPath() +
                           QStringLiteral("/../share/flowtally/mibs"));
}

} // namespace flowtally
