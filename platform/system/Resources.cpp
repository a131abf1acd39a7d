#include "platform/system/Resources.h"

#include <QFile>
#include <QFileInfo>

namespace flowtally {

QString resourcePath(const QString &name) {
    if (name.isEmpty())
        return {};
    const QString path = QStringLiteral(":/") + name;
    const QFileInfo info(path);
    return info.exists() && info.isFile() ? path : QString();
}

std::optional<QByteArray> resourceData(const QString &name) {
    const QString path = resourcePath(name);
    if (path.isEmpty())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

std::optional<QString> resourceText(const QString &name) {
    std::optional<QByteArray> data = resourceData(name);
    if (!data)
        return std::nullopt;
    return QString::fromUtf8(*data);
}

} // namespace flowtally
