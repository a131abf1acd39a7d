// The settings store reading its file at start-up. Whatever the file holds,
// the store starts: with the file's values when the property-list reader
// takes it, or else with the file kept aside unchanged and one log line
// that gives the reason.
#include "platform/system/Environment.h"
#include "fuzz/FuzzCheck.h"
#include "platform/system/PropertyList.h"
#include "platform/system/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace flowtally {

namespace {

// The system's environment with the log lines kept here.
class CapturedLog : public EnvironmentWrapper {
  public:
    CapturedLog() : EnvironmentWrapper(Environment::system()) {}
    void log(const QString &line) override { lines.append(line); }

    QStringList lines;
};

} // namespace

} // namespace flowtally

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace flowtally;
    static QTemporaryDir folder;
    static CapturedLog log;
    static const ScopedEnvironment installed(log);
    QStringList &logged = log.lines;
    fuzzCheck(folder.isValid(), "a folder for the settings file");

    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = folder.filePath(QStringLiteral("defaults.plist"));
    QFile file(path);
    fuzzCheck(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(),
              "the settings file is written");
    file.close();
    logged.clear();
    QVariantMap expected;
    const Status read = dictionaryFromData(bytes, &expected);
    {
        const UserDefaults store(path);
        if (read.ok()) {
            fuzzCheck(logged.isEmpty(), "a readable file is read without a word");
            for (auto it = expected.cbegin(); it != expected.cend(); ++it)
                fuzzCheck(store.objectForKey(it.key()).typeId() == it.value().typeId(),
                          "the store holds the file's values");
        } else {
            fuzzCheck(logged.size() == 1 && logged[0].contains(read.message()),
                      "an unreadable file costs one log line with the reason");
        }
    }
    const QStringList files = QDir(folder.path()).entryList(QDir::Files);
    fuzzCheck(files.size() == 1, "one file: the settings file or the one kept aside");
    fuzzCheck(read.ok() == (files[0] == QLatin1String("defaults.plist")),
              "an unreadable file is kept aside");
    QFile left(folder.filePath(files[0]));
    fuzzCheck(left.open(QIODevice::ReadOnly) && left.readAll() == bytes,
              "the file is left unchanged");
    left.remove();
    return 0;
}
