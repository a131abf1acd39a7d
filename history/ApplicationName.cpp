#include "history/ApplicationName.h"

#include "history/ApplicationsRest.h"
#include "platform/system/Environment.h"

#include <QFile>

namespace flowtally {

namespace {

// A desktop entry is small; a file larger than this is none.
constexpr qint64 kLargestEntry = 256 * 1024;

// The Name of the "Desktop Entry" group of an entry, when it is an
// application's; empty otherwise.
QString nameInEntry(const QString &path) {
    QFile file(path);
    if (file.size() > kLargestEntry || !file.open(QIODevice::ReadOnly))
        return {};
    const QStringList lines = QString::fromUtf8(file.read(kLargestEntry)).split(QLatin1Char('\n'));
    bool inEntry = false;
    QString name, type;
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inEntry || equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == QLatin1String("Name") && name.isEmpty())
            name = value;
        else if (key == QLatin1String("Type"))
            type = value;
    }
    return type == QLatin1String("Application") ? name : QString();
}

} // namespace

QString applicationName(const QString &key, const QStringList &dataFolders) {
    if (key == RestKey::OtherDevices)
        return QStringLiteral("Other devices on the network");
    if (key == RestKey::NotPerApplication)
        return QStringLiteral("Not counted per application");
    if (key == RestKey::NotWritten)
        return QStringLiteral("Not in the history yet");
    if (key.startsWith(QLatin1String("service:")) && key.size() > 8)
        return key.mid(8);
    if (!key.startsWith(QLatin1String("app:")) || key.size() == 4)
        return QStringLiteral("Other");
    const QString id = key.mid(4);
    // An ID is a file's name, never a path.
    if (!id.contains(QLatin1Char('/'))) {
        for (const QString &folder : dataFolders) {
            const QString path =
                folder + QStringLiteral("/applications/") + id + QStringLiteral(".desktop");
            if (!QFile::exists(path))
                continue;
            const QString name = nameInEntry(path);
            if (!name.isEmpty())
                return name;
            break;
        }
    }
    return id;
}

QStringList applicationDataFolders() {
    QStringList folders{Environment::current().dataFolder()};
    const QString system = qEnvironmentVariable("XDG_DATA_DIRS");
    for (const QString &folder :
         (system.isEmpty() ? QStringLiteral("/usr/local/share:/usr/share") : system)
             .split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (folder.startsWith(QLatin1Char('/')))
            folders.append(folder);
    }
    return folders;
}

} // namespace flowtally
