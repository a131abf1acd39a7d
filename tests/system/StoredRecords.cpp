#include "StoredRecords.h"

#include "PropertyList.h"

#include <QMetaType>

namespace {

const QString kPrimaryService = QStringLiteral("PrimaryService");

bool holds(const QVariant &value, QMetaType::Type type) {
    return value.metaType().id() == type;
}

} // namespace

QStringList StoredRecord::faults() const {
    QStringList faults;
    const auto expect = [&](const QString &name, QMetaType::Type type) {
        if (!values.contains(name))
            faults << name + QStringLiteral(" is missing");
        else if (!holds(values.value(name), type))
            faults << name + QStringLiteral(" is a ") + values.value(name).typeName();
    };
    expect(QStringLiteral("resetDate"), QMetaType::QDateTime);
    for (const char *name :
         {"totalInBytes", "totalOutBytes", "prevInVal", "prevOutVal", "limitUnitsScale"})
        expect(QString::fromLatin1(name), QMetaType::ULongLong);
    expect(kPrimaryService, QMetaType::QString);
    expect(QStringLiteral("gbpmLimit"), QMetaType::Double);
    expect(QStringLiteral("prevValSource"), QMetaType::QString);
    return faults;
}

std::optional<std::map<QString, StoredRecord>> readStoredRecords(const QString &path) {
    const auto defaults = dictionaryWithContentsOfFile(path);
    if (!defaults)
        return std::nullopt;
    std::map<QString, StoredRecord> records;
    for (auto entry = defaults->constBegin(); entry != defaults->constEnd(); ++entry) {
        if (!holds(entry.value(), QMetaType::QVariantMap))
            continue;
        const QVariantMap values = entry.value().toMap();
        if (values.contains(kPrimaryService))
            records.emplace(entry.key(), StoredRecord{entry.key(), values});
    }
    return records;
}
