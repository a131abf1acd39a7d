// flowtally-report reading Flowtally's settings file. The input is the
// file. It reads as settings exactly when the property-list reader takes it
// as a dictionary, and every record it gives keeps to its ranges, its free
// hours among them.
#include "fuzz/FuzzCheck.h"
#include "platform/system/PropertyList.h"
#include "report/StoredSettings.h"

#include <QFile>
#include <QTemporaryDir>

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace flowtally;
    static QTemporaryDir folder;
    fuzzCheck(folder.isValid(), "a folder for the settings file");
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = folder.filePath(QStringLiteral("defaults.plist"));
    QFile file(path);
    fuzzCheck(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                  file.write(bytes) == bytes.size(),
              "the settings file is written");
    file.close();

    std::optional<StoredSettings> settings;
    const Status read = readStoredSettings(path, &settings);
    QVariantMap dictionary;
    fuzzCheck(read.ok() == dictionaryFromData(bytes, &dictionary).ok(),
              "the report reads what the property-list reader takes");
    fuzzCheck(read.ok() == settings.has_value(), "settings exactly when the file reads");
    if (!settings)
        return 0;
    for (const NetworkRecord &record : settings->records) {
        fuzzCheck(record.service && dictionary.contains(*record.service),
                  "a record is one of the file's");
        fuzzCheck(record.cycleStartDay >= 0 && record.cycleStartDay <= 31,
                  "a cycle starts on a day of the month, or there is none");
        fuzzCheck(std::isfinite(record.limit) && record.limit >= 0,
                  "a limit is a finite number of bytes, or there is none");
        fuzzCheck(record.freeIn <= record.totalIn && record.freeOut <= record.totalOut,
                  "free hours count no more than the totals");
        fuzzCheck(record.freeWindows.size() <= 8, "eight windows of free hours at most");
        for (const FreeWindow &window : record.freeWindows)
            fuzzCheck(window.start >= 0 && window.start < kMinutesADay && window.end >= 0 &&
                          window.end < kMinutesADay && window.start != window.end,
                      "a window of free hours holds minutes of the day");
    }
    return 0;
}
