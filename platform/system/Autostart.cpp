#include "platform/system/Autostart.h"

#include "platform/system/Environment.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <unistd.h>

namespace flowtally {

namespace {

const char kMarkVariable[] = "FLOWTALLY_AUTOSTART";
const QString kOwnKey = QStringLiteral("X-Flowtally-Autostart");

// Flowtally's entry. TryExec makes the desktop skip it once Flowtally is no
// longer installed.
QByteArray ownEntry() {
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Flowtally\n"
                          "Comment=Start Flowtally at login, behind other windows\n"
                          "Icon=flowtally\n"
                          "TryExec=flowtally\n"
                          "Exec=env %1=1 flowtally\n"
                          "Terminal=false\n"
                          "%2=true\n")
        .arg(QLatin1String(kMarkVariable), kOwnKey)
        .toUtf8();
}

// What an entry at the path says, as far as starting at login goes.
struct Entry {
    bool exists = false;
    bool readable = false;
    bool ours = false;
    bool enabled = false;
};

// Reads the keys of the [Desktop Entry] group that matter here. An entry
// that cannot be read is another's, and the desktop cannot start it either.
Entry readEntry(const QString &path) {
    Entry entry;
    QFile file(path);
    entry.exists = file.exists() || QFileInfo(path).isSymLink();
    entry.readable = entry.exists && file.open(QIODevice::ReadOnly);
    if (!entry.readable)
        return entry;
    bool inMainGroup = false;
    bool hidden = false;
    bool gnomeDisabled = false;
    for (const QByteArray &raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inMainGroup || line.startsWith(QLatin1Char('#')) || equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == QLatin1String("Hidden"))
            hidden = value == QLatin1String("true");
        else if (key == QLatin1String("X-GNOME-Autostart-enabled"))
            gnomeDisabled = value == QLatin1String("false");
        else if (key == kOwnKey)
            entry.ours = value == QLatin1String("true");
    }
    entry.enabled = !hidden && !gnomeDisabled;
    return entry;
}

Status removeEntry(const QString &path) {
    if (::unlink(QFile::encodeName(path).constData()) == 0 || errno == ENOENT)
        return Status::success();
    const int error = errno;
    return Status::systemError(QStringLiteral("cannot remove %1").arg(path), error);
}

} // namespace

QString autostartEntryPath() {
    return Environment::current().configFolder() + QStringLiteral("/autostart/flowtally.desktop");
}

bool startsAtLogin() {
    return readEntry(autostartEntryPath()).enabled;
}

Status setStartsAtLogin(bool on) {
    const QString path = autostartEntryPath();
    const Entry entry = readEntry(path);
    if (entry.exists && !entry.ours) {
        if (entry.enabled == on)
            return Status::success();
        const QString reason = !entry.readable ? QStringLiteral("it cannot be read")
                               : on            ? QStringLiteral("it tells the desktop to skip it")
                                               : QStringLiteral("it starts Flowtally at login");
        return Status::refused(
            QStringLiteral("%1 was not written by Flowtally and is left as it is: %2")
                .arg(path, reason));
    }
    return on ? Environment::current().writeFileAtomically(path, ownEntry()) : removeEntry(path);
}

bool startedAtLogin() {
    return qEnvironmentVariable(kMarkVariable) == QLatin1String("1");
}

} // namespace flowtally
