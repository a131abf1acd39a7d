#include "ArgumentListDescription.h"

QString argumentListDescription(const QStringList &arguments) {
    QStringList quoted;
    for (QString argument : arguments) {
        argument.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        argument.replace(QLatin1Char('"'), QLatin1String("\\\""));
        quoted.append(QLatin1Char('"') + argument + QLatin1Char('"'));
    }
    return QLatin1Char('(') + quoted.join(QLatin1String(", ")) + QLatin1Char(')');
}
