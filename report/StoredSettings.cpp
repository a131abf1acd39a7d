#include "report/StoredSettings.h"

#include "platform/system/PropertyList.h"
#include "record/SettingsKeys.h"

#include <QFileInfo>

namespace flowtally {

Status readStoredSettings(const QString &path, std::optional<StoredSettings> *settings) {
    settings->reset();
    const QFileInfo file(path);
    if (!file.exists())
        return {};
    // Anything else (a folder, a pipe, a device) might never end or never answer.
    if (!file.isFile())
        return Status::notSupported(QStringLiteral("the settings file %1 is not a file").arg(path));
    if (!file.isReadable())
        return Status::refused(QStringLiteral("the settings file %1 cannot be read").arg(path));
    if (file.size() == 0)
        return Status::corrupt(QStringLiteral("the settings file %1 is empty").arg(path));
    const std::optional<QVariantMap> stored = dictionaryWithContentsOfFile(path);
    if (!stored)
        return Status::corrupt(
            QStringLiteral("the settings file %1 is damaged: it is not a property list that "
                           "Flowtally reads")
                .arg(path));

    StoredSettings read;
    for (auto entry = stored->cbegin(); entry != stored->cend(); ++entry) {
        const QVariantMap entries = entry.value().toMap();
        if (entry.value().typeId() == QMetaType::QVariantMap &&
            entries.contains(RecordKey::PrimaryService)) {
            NetworkRecord record = NetworkRecord::fromMap(entries);
            record.service = entry.key();
            read.records.append(record);
        }
    }
    read.lastMetered =
        stored->value(SettingsKey::LastReading).toMap().value(LastReadingKey::service).toString();
    *settings = read;
    return {};
}

} // namespace flowtally
