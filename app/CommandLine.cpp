#include "app/CommandLine.h"

#include "Version.h"

namespace flowtally {

namespace {

const QString kHelp =
    QStringLiteral("Usage: flowtally [--help | --version]\n"
                   "\n"
                   "Meters the traffic of your Internet connection against a monthly limit: the\n"
                   "rates, the totals since the reset and a thirty-day projection, in its window\n"
                   "and on a tray icon. flowtally-report shows the same figures in a terminal.\n"
                   "\n"
                   "  --version      the version\n"
                   "  -h, --help     this text\n"
                   "\n"
                   "Qt's own options (-platform, -display, -style ...) apply as well.\n"
                   "Exit status: 0, or 2 for a usage error.\n");

} // namespace

std::optional<CommandLineAnswer> answerAskingArguments(const QStringList &arguments) {
    for (const QString &argument : arguments) {
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            return CommandLineAnswer{0, kHelp.toUtf8(), {}};
        if (argument == QLatin1String("--version"))
            return CommandLineAnswer{
                0, QStringLiteral("flowtally %1\n").arg(QLatin1String(kVersion)).toUtf8(), {}};
    }
    return std::nullopt;
}

std::optional<CommandLineAnswer> answerLeftArguments(const QStringList &arguments) {
    if (arguments.isEmpty())
        return std::nullopt;
    const QString &first = arguments.first();
    const QString what = first.startsWith(QLatin1Char('-')) && first != QLatin1String("-")
                             ? QStringLiteral("unknown option '%1'")
                             : QStringLiteral("unexpected argument '%1'");
    return CommandLineAnswer{
        kUsageErrorStatus,
        {},
        QStringLiteral("flowtally: %1 (see flowtally --help)\n").arg(what.arg(first)).toUtf8()};
}

} // namespace flowtally
