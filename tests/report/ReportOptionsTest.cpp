// The command line of flowtally-report: what each form of an option sets,
// and the one sentence of each usage error.
#include "report/ReportOptions.h"

#include <gtest/gtest.h>

namespace flowtally {

namespace {

QString described(const ReportOptions &options) {
    const char *formats[] = {"text", "json", "csv", "oneline", "prometheus"};
    return QStringLiteral("%1 days=%2 months=%3 network=[%4]%5%6%7")
        .arg(QLatin1String(formats[static_cast<int>(options.format)]))
        .arg(options.days)
        .arg(options.months)
        .arg(options.network)
        .arg(options.output.isEmpty() ? QString() : " output=[" + options.output + "]")
        .arg(options.help ? " help" : "")
        .arg(options.version ? " version" : "");
}

// Each command line: what it sets, or the one sentence of its usage error
// with the options left as they were.
TEST(ReportOptions, WhatEachArgumentSetsOrItsUsageError) {
    const struct {
        QStringList arguments;
        const char *read;
    } cases[] = {
        {{}, "text days=0 months=0 network=[]"},
        {{"--csv", "--csv"}, "csv days=0 months=0 network=[]"},
        {{"--days=1", "--days", "3660"}, "text days=3660 months=0 network=[]"},
        {{"--months", "120", "--json"}, "json days=0 months=120 network=[]"},
        // A value may begin with a dash or hold an equals sign.
        {{"--network", "-x"}, "text days=0 months=0 network=[-x]"},
        {{"--network=a=b"}, "text days=0 months=0 network=[a=b]"},
        {{"-h"}, "text days=0 months=0 network=[] help"},
        {{"--output=-", "--days=2"}, "text days=2 months=0 network=[] output=[-]"},
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"-d", "3"}, "unknown option '-d'"},
        {{"today"}, "unexpected argument 'today'"},
        {{"-"}, "unexpected argument '-'"},
        {{"--json", "--network"}, "--network needs a value"},
        {{"--network="}, "--network needs a service identifier or a network's name"},
        {{"--days", "0"}, "--days takes a whole number from 1 to 3660, not '0'"},
        {{"--days", "3661"}, "--days takes a whole number from 1 to 3660, not '3661'"},
        {{"--days", "-3"}, "--days takes a whole number from 1 to 3660, not '-3'"},
        {{"--days=7d"}, "--days takes a whole number from 1 to 3660, not '7d'"},
        // 2^32 + 3: not 3 days.
        {{"--days", "4294967299"}, "--days takes a whole number from 1 to 3660, not '4294967299'"},
        {{"--months", "121"}, "--months takes a whole number from 1 to 120, not '121'"},
        {{"--json=yes"}, "--json takes no value"},
        {{"--json", "--csv"}, "choose one of --json, --csv, --oneline and --prometheus"},
        {{"--oneline", "--csv", "--oneline"},
         "choose one of --json, --csv, --oneline and --prometheus"},
        {{"--prometheus", "--days", "3"},
         "--prometheus shows no tables: leave out --days and --months"},
        {{"--output"}, "--output needs a value"},
        {{"--output="}, "--output needs the name of a file"},
        {{"--oneline", "--days", "3"}, "--oneline shows no tables: leave out --days and --months"},
        {{"--months=2", "--oneline"}, "--oneline shows no tables: leave out --days and --months"},
        {{"--help", "--bogus"}, "unknown option '--bogus'"},
        {{"--apps", "--oneline"},
         "--apps is shown as text, JSON or CSV: leave out --oneline and --prometheus"},
        {{"--prometheus", "--apps"},
         "--apps is shown as text, JSON or CSV: leave out --oneline and --prometheus"},
        {{"--apps", "--csv", "--months=1"},
         "--apps --csv is a table of its own: leave out --days and --months"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        ReportOptions options;
        options.network = QStringLiteral("untouched");
        const Status status = parseReportOptions(c.arguments, &options);
        EXPECT_EQ((status.ok() ? described(options) : status.message()).toStdString(), c.read);
        if (!status.ok()) {
            EXPECT_EQ(status.code(), Status::Code::InvalidArgument);
            EXPECT_EQ(described(options), "text days=0 months=0 network=[untouched]");
        }
    }
}

} // namespace

} // namespace flowtally
