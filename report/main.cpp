// flowtally-report: the traffic Flowtally counted, for terminals, scripts
// and status bars (see flowtally-report(1); the work is runReport's).
#include "platform/system/Environment.h"
#include "report/ReportRun.h"

#include <QCoreApplication>
#include <QTimeZone>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <langinfo.h>

namespace flowtally {

namespace {

// The system's environment without its log. The report speaks through its
// output and its messages only: a status bar runs it every few seconds,
// and what the shared code logs (the byte formatter's note on very large
// counts) would fill the system log.
class QuietEnvironment : public EnvironmentWrapper {
  public:
    using EnvironmentWrapper::EnvironmentWrapper;
    void log(const QString &) override {}
};

// The character set of the locale the environment chooses (LC_ALL,
// LC_CTYPE, LANG): a terminal of another one than UTF-8 gets ASCII alone.
// Asked before Qt starts, which switches a process to UTF-8 for itself.
Characters localeCharacters() {
    std::setlocale(LC_ALL, "");
    return std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0 ? Characters::Unicode
                                                           : Characters::Ascii;
}

bool writeAll(std::FILE *stream, const QByteArray &bytes) {
    const size_t size = static_cast<size_t>(bytes.size());
    return std::fwrite(bytes.constData(), 1, size, stream) == size && std::fflush(stream) == 0;
}

} // namespace

} // namespace flowtally

int main(int argc, char **argv) {
    using namespace flowtally;
    const Characters characters = localeCharacters();
    QCoreApplication application(argc, argv);
    QuietEnvironment quiet(Environment::system());
    ScopedEnvironment scope(quiet);

    ReportOutcome outcome =
        runReport(application.arguments().mid(1), QTimeZone::systemTimeZone(), characters);
    if (!writeAll(stdout, outcome.output)) {
        outcome.messages.append(QStringLiteral("cannot write the report: %1")
                                    .arg(QString::fromLocal8Bit(std::strerror(errno))));
        outcome.exitCode = kCannotRead;
    }
    for (const QString &message : outcome.messages)
        writeAll(stderr, "flowtally-report: " + message.toUtf8() + '\n');
    return outcome.exitCode;
}
