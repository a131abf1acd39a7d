#include "report/ReportOptions.h"

#include "Version.h"

#include <optional>

namespace flowtally {

namespace {

struct Argument {
    QString name;
    std::optional<QString> value; // given after '=' in the same argument
};

Argument split(const QString &argument) {
    const qsizetype equals = argument.indexOf(QLatin1Char('='));
    if (!argument.startsWith(QLatin1String("--")) || equals < 0)
        return {argument, std::nullopt};
    return {argument.left(equals), argument.mid(equals + 1)};
}

// A count for --days or --months: a whole number from 1 to `most`.
Status readCount(const QString &option, const QString &value, int most, int *count) {
    bool ok = false;
    const int number = value.toInt(&ok, 10);
    if (!ok || number < 1 || number > most)
        return Status::invalidArgument(
            QStringLiteral("%1 takes a whole number from 1 to %2, not '%3'")
                .arg(option)
                .arg(most)
                .arg(value));
    *count = number;
    return {};
}

} // namespace

Status parseReportOptions(const QStringList &arguments, ReportOptions *options) {
    ReportOptions parsed;
    QList<ReportFormat> formats;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const auto [name, attached] = split(arguments[i]);
        const bool takesValue =
            name == QLatin1String("--days") || name == QLatin1String("--months") ||
            name == QLatin1String("--network") || name == QLatin1String("--output");
        QString value;
        if (takesValue) {
            if (attached)
                value = *attached;
            else if (i + 1 < arguments.size())
                value = arguments[++i];
            else
                return Status::invalidArgument(QStringLiteral("%1 needs a value").arg(name));
        } else if (attached) {
            return Status::invalidArgument(QStringLiteral("%1 takes no value").arg(name));
        }

        Status status;
        if (name == QLatin1String("--days"))
            status = readCount(name, value, kMostDays, &parsed.days);
        else if (name == QLatin1String("--months"))
            status = readCount(name, value, kMostMonths, &parsed.months);
        else if (name == QLatin1String("--network") && value.isEmpty())
            status = Status::invalidArgument(
                QStringLiteral("--network needs a service identifier or a network's name"));
        else if (name == QLatin1String("--network"))
            parsed.network = value;
        else if (name == QLatin1String("--output") && value.isEmpty())
            status = Status::invalidArgument(QStringLiteral("--output needs the name of a file"));
        else if (name == QLatin1String("--output"))
            parsed.output = value;
        else if (name == QLatin1String("--apps"))
            parsed.applications = true;
        else if (name == QLatin1String("--json"))
            formats.append(ReportFormat::Json);
        else if (name == QLatin1String("--csv"))
            formats.append(ReportFormat::Csv);
        else if (name == QLatin1String("--oneline"))
            formats.append(ReportFormat::OneLine);
        else if (name == QLatin1String("--prometheus"))
            formats.append(ReportFormat::Prometheus);
        else if (name == QLatin1String("--help") || name == QLatin1String("-h"))
            parsed.help = true;
        else if (name == QLatin1String("--version"))
            parsed.version = true;
        else if (name.startsWith(QLatin1Char('-')) && name != QLatin1String("-"))
            status = Status::invalidArgument(QStringLiteral("unknown option '%1'").arg(name));
        else
            status = Status::invalidArgument(QStringLiteral("unexpected argument '%1'").arg(name));
        if (!status.ok())
            return status;
    }

    for (const ReportFormat format : formats) {
        if (format != formats.first())
            return Status::invalidArgument(
                QStringLiteral("choose one of --json, --csv, --oneline and --prometheus"));
    }
    if (!formats.isEmpty())
        parsed.format = formats.first();
    const bool tables = parsed.days > 0 || parsed.months > 0;
    if (parsed.format == ReportFormat::OneLine && tables)
        return Status::invalidArgument(
            QStringLiteral("--oneline shows no tables: leave out --days and "
                           "--months"));
    if (parsed.format == ReportFormat::Prometheus && tables)
        return Status::invalidArgument(
            QStringLiteral("--prometheus shows no tables: leave out --days and "
                           "--months"));
    if (parsed.applications &&
        (parsed.format == ReportFormat::OneLine || parsed.format == ReportFormat::Prometheus))
        return Status::invalidArgument(QStringLiteral(
            "--apps is shown as text, JSON or CSV: leave out --oneline and --prometheus"));
    if (parsed.applications && parsed.format == ReportFormat::Csv && tables)
        return Status::invalidArgument(
            QStringLiteral("--apps --csv is a table of its own: leave out --days and --months"));
    *options = parsed;
    return {};
}

QString reportHelp() {
    return QStringLiteral(
        "Usage: flowtally-report [--json | --csv | --oneline | --prometheus] [--days N]\n"
        "                        [--months N] [--apps] [--network ID] [--output FILE]\n"
        "\n"
        "Shows the traffic Flowtally counted, per network: the totals since the reset,\n"
        "the free hours, the billing cycle, the projections and the limit, read from\n"
        "Flowtally's settings file and traffic history. It changes neither.\n"
        "\n"
        "  --days N       the traffic of each of the last N days (1 to 3660)\n"
        "  --months N     the traffic of each of the last N months (1 to 120)\n"
        "  --apps         each application's traffic since the totals' start\n"
        "  --network ID   only the network with this service identifier or name\n"
        "  --json         JSON, in the layout that flowtally-report(1) describes\n"
        "  --csv          comma-separated values under one header line (with --apps,\n"
        "                 a row per application)\n"
        "  --oneline      one short line for a status bar\n"
        "  --prometheus   Prometheus' text format (node_exporter's textfile collector)\n"
        "  --output FILE  write the report to FILE, replacing it whole\n"
        "  --version      the version\n"
        "  -h, --help     this text\n"
        "\n"
        "Exit status: 0 when the report was written, 1 for a usage error, 2 when\n"
        "there is nothing to report yet, 3 when a file could not be read or the\n"
        "report not written.\n");
}

QString reportVersion() {
    // The project's version, given by the build (see report/CMakeLists.txt).
    return QStringLiteral("flowtally-report %1\n").arg(QLatin1String(kVersion));
}

} // namespace flowtally
