#include "ArgumentListDescription.h"

QString quotedDescription(const QString &text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString argumentListDescription(const QStringList &arguments) {
    QStringList quoted;
    for (const QString &argument : arguments)
        quoted.append(quotedDescription(argument));
    return QLatin1Char('(') + quoted.join(QLatin1String(", ")) + QLatin1Char(')');
}
