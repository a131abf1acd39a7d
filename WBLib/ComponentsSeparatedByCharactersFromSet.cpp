#include "WBLib/ComponentsSeparatedByCharactersFromSet.h"

#include "platform/text/Scanner.h"

namespace flowtally {

namespace {

Scanner scannerSkippingNothing(const QString &text) {
    Scanner scanner(text);
    scanner.setCharactersToBeSkipped(std::nullopt);
    return scanner;
}

} // namespace

QStringList componentsSeparatedByCharactersFromSet(const QString &text, const CharacterSet &set) {
    Scanner scanner = scannerSkippingNothing(text);
    QStringList fields;
    bool endsInSeparators = scanner.scanCharactersFromSet(set);
    if (endsInSeparators)
        fields.append(QString());
    QString field;
    while (scanner.scanUpToCharactersFromSet(set, &field)) {
        fields.append(field);
        endsInSeparators = scanner.scanCharactersFromSet(set);
    }
    if (endsInSeparators)
        fields.append(QString());
    return fields;
}

QStringList componentsSeparatedByACharacterFromSet(const QString &text, const CharacterSet &set) {
    Scanner scanner = scannerSkippingNothing(text);
    QStringList fields;
    QString run;
    if (scanner.scanCharactersFromSet(set, &run))
        fields.append(QStringList(run.size(), QString()));
    QString field;
    while (scanner.scanUpToCharactersFromSet(set, &field)) {
        fields.append(field);
        if (scanner.scanCharactersFromSet(set, &run))
            fields.append(QStringList(run.size() - 1, QString()));
    }
    return fields;
}

} // namespace flowtally
