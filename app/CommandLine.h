#pragma once

#include <QByteArray>
#include <QStringList>

#include <optional>

namespace flowtally {

// Flowtally's command line. Flowtally takes no arguments of its own but
// --help (-h) and --version; Qt's (-platform, -display, -style ...) are
// the application object's, which takes them out.
struct CommandLineAnswer {
    int exitStatus = 0;
    QByteArray output; // for standard output
    QByteArray error;  // for standard error: one line
};

// A usage error, as the programs of this platform end on one.
inline constexpr int kUsageErrorStatus = 2;

// The help or the version, when the arguments (without the program's name)
// ask for one; the first that asks wins. None otherwise. Read before
// anything starts: no application object is needed.
std::optional<CommandLineAnswer> answerAskingArguments(const QStringList &arguments);

// The arguments that are left once Qt took its own (without the program's
// name): any is a usage error. None when none is left.
std::optional<CommandLineAnswer> answerLeftArguments(const QStringList &arguments);

} // namespace flowtally
