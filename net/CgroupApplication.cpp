#include "net/CgroupApplication.h"

#include <QStringList>

namespace flowtally {

namespace {

// A unit name's escapes ("\x2d" for a "-" that separates nothing, "\xNN"
// for each byte of other characters) undone.
QString unescaped(const QString &part) {
    const QByteArray bytes = part.toUtf8();
    QByteArray text;
    for (qsizetype at = 0; at < bytes.size(); ++at) {
        bool isHex = false;
        const int byte = at + 4 <= bytes.size() && bytes[at] == '\\' && bytes[at + 1] == 'x'
                             ? bytes.mid(at + 2, 2).toInt(&isHex, 16)
                             : 0;
        if (isHex) {
            text.append(static_cast<char>(byte));
            at += 3;
        } else {
            text.append(bytes[at]);
        }
    }
    return QString::fromUtf8(text);
}

// The application an "app-" unit names, or empty for none.
QString applicationOfUnit(const QString &unit) {
    if (!unit.startsWith(QLatin1String("app-")))
        return {};
    const QString name = unit.mid(4);
    // app-ID.slice: the application's own slice.
    if (name.endsWith(QLatin1String(".slice")))
        return unescaped(name.chopped(6));
    QStringList parts;
    if (name.endsWith(QLatin1String(".scope"))) {
        // app[-LAUNCHER]-ID-RANDOM.scope
        parts = name.chopped(6).split(QLatin1Char('-'));
        if (parts.size() < 2)
            return {};
        parts.removeLast();
    } else if (name.endsWith(QLatin1String(".service"))) {
        // app[-LAUNCHER]-ID[@RANDOM].service
        const QString bare = name.chopped(8);
        parts = bare.left(bare.indexOf(QLatin1Char('@'))).split(QLatin1Char('-'));
    } else {
        return {};
    }
    // A launcher comes before the ID where there are two parts or more.
    if (parts.size() > 1)
        parts.removeFirst();
    return unescaped(parts.join(QLatin1Char('-')));
}

} // namespace

CgroupApplication CgroupApplication::of(const QString &cgroup) {
    const QStringList units = cgroup.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype at = units.size() - 1; at >= 0; --at) {
        const QString id = applicationOfUnit(units[at]);
        if (!id.isEmpty())
            return {Kind::Application, id};
    }
    if (!units.isEmpty() && units.first() == QLatin1String("system.slice")) {
        for (qsizetype at = units.size() - 1; at > 0; --at) {
            if (units[at].endsWith(QLatin1String(".service")))
                return {Kind::SystemService, units[at]};
        }
    }
    return {};
}

QString CgroupApplication::key() const {
    switch (kind) {
    case Kind::Application:
        return QStringLiteral("app:") + id;
    case Kind::SystemService:
        return QStringLiteral("service:") + id;
    case Kind::Other:
        break;
    }
    return QStringLiteral("other");
}

} // namespace flowtally
