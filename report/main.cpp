// flowtally-report: the traffic Flowtally counted, for terminals, scripts
// and status bars (see flowtally-report(1); the work is runReport's).
#include "Environment.h"
#include "ReportRun.h"

#include <QCoreApplication>
#include <QTimeZone>

#include <cerrno>
#include <cstdio>
#include <cstring>

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

bool writeAll(std::FILE *stream, const QByteArray &bytes) {
    const size_t size = static_cast<size_t>(bytes.size());
    return std::fwrite(bytes.constData(), 1, size, stream) == size && std::fflush(stream) == 0;
}

} // namespace

} // namespace flowtally

int main(int argc, char **argv) {
    using namespace flowtally;
    QCoreApplication application(argc, argv);
    QuietEnvironment quiet(Environment::system());
    ScopedEnvironment scope(quiet);

    ReportOutcome outcome = runReport(application.arguments().mid(1), QTimeZone::systemTimeZone());
    if (!writeAll(stdout, outcome.output)) {
        outcome.messages.append(QStringLiteral("cannot write the report: %1")
                                    .arg(QString::fromLocal8Bit(std::strerror(errno))));
        outcome.exitCode = kCannotRead;
    }
    for (const QString &message : outcome.messages)
        writeAll(stderr, "flowtally-report: " + message.toUtf8() + '\n');
    return outcome.exitCode;
}
