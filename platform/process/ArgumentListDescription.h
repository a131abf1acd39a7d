#pragma once

#include <QString>
#include <QStringList>

namespace flowtally {

// A text in double quotes, with \ and " escaped: "a \"b\"".
QString quotedDescription(const QString &text);

// A tool's argument list as log lines show it: each argument in double quotes
// (with \ and " escaped) in parentheses, e.g. ("-f", "inet"); () when empty.
// The argument after "-c" is an SNMP community, a password: it shows masked.
QString argumentListDescription(const QStringList &arguments);

} // namespace flowtally
