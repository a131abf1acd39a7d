#include "platform/process/DirectToolRun.h"

#include "platform/process/ProgramRun.h"
#include "platform/text/Utf8Decoding.h"

namespace flowtally {

namespace {

ToolRunWithErrors run(const QString &path, const QStringList &arguments,
                      const QStringList &environment, ErrorText errors) {
    // A program the tool left behind holding its pipes is not waited for.
    const ProgramOutcome run = runProgram(
        {.path = path, .arguments = arguments, .environment = environment, .errors = errors},
        RunEnd::ProgramEnded);
    if (!run.started.ok() || run.timedOut)
        return {};
    return {decodeUtf8(run.output), QString::fromUtf8(run.errors)};
}

} // namespace

std::optional<QString> directToolRun(const QString &path, const QStringList &arguments) {
    return directToolRun(path, arguments, {});
}

std::optional<QString> directToolRun(const QString &path, const QStringList &arguments,
                                     const QStringList &environment) {
    return run(path, arguments, environment, ErrorText::Shared).output;
}

ToolRunWithErrors directToolRunWithErrors(const QString &path, const QStringList &arguments,
                                          const QStringList &environment) {
    return run(path, arguments, environment, ErrorText::Collected);
}

} // namespace flowtally
