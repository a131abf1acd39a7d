#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace flowtally {

// Runs a tool at the given path (no search) with its standard output on a
// pipe, standard error shared with ours, waits until it exits and returns its
// standard output as UTF-8 text. Output is read while the tool runs, so a tool
// may write more than a pipe holds. Absent when the tool cannot be started,
// when its output is not valid UTF-8, or when it outlives the tool timeout
// (see ProgramRun.h; then one line is logged). No output gives an empty text.
// Blocks the calling thread; needs no event loop.
std::optional<QString> directToolRun(const QString &path, const QStringList &arguments);

// As above, with the variables ("NAME=value") added to the tool's
// environment in place of ours of their names.
std::optional<QString> directToolRun(const QString &path, const QStringList &arguments,
                                     const QStringList &environment);

// What a run that collects the tool's standard error gives.
struct ToolRunWithErrors {
    // As directToolRun gives it.
    std::optional<QString> output;
    // The tool's standard error as text (bytes that are not UTF-8
    // replaced): empty when it wrote none or could not be started.
    QString errors;
};

// As above, the tool's standard error collected instead of shared with ours.
ToolRunWithErrors directToolRunWithErrors(const QString &path, const QStringList &arguments,
                                          const QStringList &environment);

} // namespace flowtally
