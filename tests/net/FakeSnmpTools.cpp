#include "FakeSnmpTools.h"

#include "ToolPaths.h"

#include <QDir>
#include <QFile>

#include <utility>

namespace {

const QString kRuns = QStringLiteral("runs");
const QString kReplies = QStringLiteral("replies");

// Each run is one line: the tool and each argument, every one closed by a
// unit separator, so that spaces and empty arguments stay visible.
const QString kScript = QStringLiteral(R"sh(folder='%1'
printf '%s\037' '%2' "$@" >> "$folder/%3"
printf '\n' >> "$folder/%3"
for object; do :; done
reply="$folder/%4/$(printf '%s' "$object" | tr ':/' '__')"
if [ -f "$reply" ]; then cat "$reply"; fi)sh");

QString fileNameOf(const QString &object) {
    return QString(object).replace(QLatin1Char(':'), QLatin1Char('_')).replace('/', '_');
}

} // namespace

FakeSnmpTools::FakeSnmpTools() {
    QDir(scripts_.path()).mkdir(kReplies);
    for (const auto &[tool, name] : {std::pair{kSnmpGetTool, QStringLiteral("snmpget")},
                                     std::pair{kSnmpWalkTool, QStringLiteral("snmpwalk")}})
        setToolPath(tool,
                    scripts_.write(name, kScript.arg(scripts_.path(), name, kRuns, kReplies)));
}

FakeSnmpTools::~FakeSnmpTools() {
    setToolPath(kSnmpGetTool, {});
    setToolPath(kSnmpWalkTool, {});
}

void FakeSnmpTools::reply(const QString &object, const QString &text) {
    QFile file(QDir(scripts_.filePath(kReplies)).filePath(fileNameOf(object)));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text.toUtf8());
}

std::vector<FakeSnmpTools::Run> FakeSnmpTools::takeRuns() {
    QFile file(scripts_.filePath(kRuns));
    std::vector<Run> runs;
    if (!file.open(QIODevice::ReadOnly))
        return runs;
    for (const QString &line : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)) {
        Run run = line.split(QChar(0x1f));
        run.removeLast(); // after the last separator
        runs.push_back(run);
    }
    file.remove();
    return runs;
}
