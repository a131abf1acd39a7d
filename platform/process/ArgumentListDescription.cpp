#include "platform/process/ArgumentListDescription.h"

namespace flowtally {

QString quotedDescription(const QString &text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString argumentListDescription(const QStringList &arguments) {
    QStringList quoted;
    bool community = false;
    for (const QString &argument : arguments) {
        quoted.append(community ? QStringLiteral("\"********\"") : quotedDescription(argument));
        community = argument == QLatin1String("-c");
    }
    return QLatin1Char('(') + quoted.join(QLatin1String(", ")) + QLatin1Char(')');
}

} // namespace flowtally
