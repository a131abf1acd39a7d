// What Flowtally's start costs with a hostile settings file in place: the
// store reads it, refuses it and keeps it aside. Each file (the ones in
// tests/platform/data/hostile-settings and 40,000 nested arrays made here)
// is put in place and read 20 times; prints the median wall time of one
// read and how much the process's peak resident size grew. Asserts nothing.
#include "bench/Figures.h"
#include "tests/support/TestEnvironment.h"
#include "platform/system/UserDefaults.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace flowtally {

namespace {

constexpr int kReads = 20;

long peakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QByteArray hostileFile(const QString &name) {
    QFile file(QStringLiteral(FLOWTALLY_SOURCE_DIR "/tests/platform/data/hostile-settings/") +
               name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void measure(const QString &name, const QByteArray &contents) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("defaults.plist"));
    std::vector<qint64> nanoseconds;
    const long peakBefore = peakResidentKiB();
    for (int read = 0; read < kReads; ++read) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
            return;
        file.close();
        QElapsedTimer timer;
        timer.start();
        { const UserDefaults store(path); }
        nanoseconds.push_back(timer.nsecsElapsed());
        for (const QString &kept : QDir(folder.path()).entryList(QDir::Files))
            QFile::remove(folder.filePath(kept));
    }
    std::sort(nanoseconds.begin(), nanoseconds.end());
    const double median = double(nanoseconds[nanoseconds.size() / 2]) / 1e6;
    const long growth = peakResidentKiB() - peakBefore;
    std::printf("%-22s %8lld bytes  median %9.3f ms  peak resident +%ld KiB\n", qPrintable(name),
                static_cast<long long>(contents.size()), median, growth);
    printFigure("hostile settings, " + name.toStdString() + ": refused in", median, "ms");
    if (growth > 0)
        printFigure("hostile settings, " + name.toStdString() + ": peak resident growth",
                    double(growth), "KiB", 0);
}

} // namespace

} // namespace flowtally

int main() {
    using namespace flowtally;
    // The log lines go to the test environment instead of the system log.
    TestEnvironment environment;
    for (const char *name : {"nul_root.plist", "nul_dict.plist", "nul_str_utf16.plist",
                             "nul_key_utf16.plist", "dag_dict_20.bplist", "dag_dict_24.bplist"})
        measure(QString::fromLatin1(name), hostileFile(QString::fromLatin1(name)));
    measure(QStringLiteral("40,000 nested arrays"),
            "<plist><dict><key>k</key>" + QByteArray("<array>").repeated(40000) +
                QByteArray("</array>").repeated(40000) + "</dict></plist>");
    return 0;
}
