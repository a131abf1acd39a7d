#include "StoredSettings.h"

#include "../app/SettingsKeys.h"
#include "Numbers.h"
#include "PropertyList.h"

#include <QFileInfo>

#include <cmath>

namespace flowtally {

namespace {

constexpr quint64 kLastStartDay = 31;

QDateTime resetDateOf(const QVariant &value) {
    if (value.typeId() != QMetaType::QDateTime)
        return {};
    const QDateTime date = value.toDateTime();
    // The epoch is how the settings say "not set yet".
    if (!date.isValid() || date.toSecsSinceEpoch() == 0)
        return {};
    return date;
}

NetworkRecord recordOf(const QString &service, const QVariantMap &entries) {
    NetworkRecord record;
    record.service = service;
    record.resetDate = resetDateOf(entries.value(RecordKey::resetDate));
    record.in = unsignedLongLongValueOf(entries.value(RecordKey::totalInBytes));
    record.out = unsignedLongLongValueOf(entries.value(RecordKey::totalOutBytes));
    const double limit = doubleValueOf(entries.value(RecordKey::gbpmLimit));
    record.limit = std::isfinite(limit) && limit > 0 ? limit : 0;
    // Compared before it is narrowed, so that no large number wraps into a day.
    const quint64 startDay = unsignedLongLongValueOf(entries.value(RecordKey::cycleStartDay));
    record.cycleStartDay = startDay <= kLastStartDay ? static_cast<int>(startDay) : 0;
    return record;
}

} // namespace

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
            entries.contains(RecordKey::PrimaryService))
            read.records.append(recordOf(entry.key(), entries));
    }
    read.lastMetered =
        stored->value(SettingsKey::LastReading).toMap().value(LastReadingKey::service).toString();
    *settings = read;
    return {};
}

} // namespace flowtally
