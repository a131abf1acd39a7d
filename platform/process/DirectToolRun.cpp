#include "DirectToolRun.h"

#include "ProgramRun.h"
#include "Utf8Decoding.h"

namespace flowtally {

std::optional<QString> directToolRun(const QString &path, const QStringList &arguments) {
    return directToolRun(path, arguments, {}, nullptr);
}

std::optional<QString> directToolRun(const QString &path, const QStringList &arguments,
                                     const QStringList &environment, QString *errors) {
    if (errors)
        errors->clear();
    // A program the tool left behind holding its pipes is not waited for.
    const ProgramOutcome run =
        runProgram({.path = path,
                    .arguments = arguments,
                    .environment = environment,
                    .errors = errors ? ErrorText::Collected : ErrorText::Shared},
                   RunEnd::ProgramEnded);
    if (!run.started.ok() || run.timedOut)
        return std::nullopt;
    if (errors)
        *errors = QString::fromUtf8(run.errors);
    return decodeUtf8(run.output);
}

} // namespace flowtally
