#include "report/ReportText.h"

#include "WBLib/WBBKMGTFormatter.h"

#include <QStringList>

#include <utility>

namespace flowtally {

QString byteText(double bytes, unsigned fractionDigits) {
    return WBBKMGTFormatter::stringForObjectValue(bytes, fractionDigits);
}

QString limitText(double bytes) {
    const QString text = byteText(bytes, 2);
    qsizetype unit = text.size();
    while (unit > 0 && !text[unit - 1].isDigit())
        --unit;
    const qsizetype point = text.lastIndexOf(QLatin1Char('.'), unit - 1);
    if (point < 0)
        return text;
    qsizetype end = unit;
    while (end > point + 1 && text[end - 1] == QLatin1Char('0'))
        --end;
    if (end == point + 1)
        end = point; // no digit left after the point
    return text.left(end) + text.mid(unit);
}

QString minuteText(const QDateTime &moment) {
    return moment.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString ordinalDay(int day) {
    const char *ending = "th";
    if (day % 100 < 11 || day % 100 > 13) {
        switch (day % 10) {
        case 1:
            ending = "st";
            break;
        case 2:
            ending = "nd";
            break;
        case 3:
            ending = "rd";
            break;
        default:
            break;
        }
    }
    return QString::number(day) + QLatin1String(ending);
}

ReportMarks ReportMarks::of(Characters characters) {
    if (characters == Characters::Ascii)
        return {QStringLiteral("in"), QStringLiteral("out"), QStringLiteral(" | "),
                QStringLiteral("-")};
    return {QStringLiteral("\u2193"), QStringLiteral("\u2191"), QStringLiteral(" \u00B7 "),
            QStringLiteral("\u2014")};
}

QString printable(const QString &text, Characters characters) {
    QString shown;
    for (const char32_t c : text.toUcs4()) {
        if (characters == Characters::Ascii)
            shown += c >= 0x20 && c < 0x7f ? QChar(char16_t(c)) : QChar(u'?');
        else
            shown +=
                QChar::isPrint(c) ? QString::fromUcs4(&c, 1) : QString(QChar::ReplacementCharacter);
    }
    return shown;
}

QString shortDateText(const QDate &date) {
    return date.toString(QStringLiteral("d MMM"));
}

QString freeWindowsText(const FreeWindows &windows) {
    QStringList texts;
    for (const FreeWindow &window : windows)
        texts.append(freeWindowText(window));
    return texts.join(QStringLiteral(" and "));
}

QString sourceText(const QString &storedSource) {
    const std::pair<const char *, const char *> kWords[] = {
        {"local", "This computer"},
        {"local-internet", "This computer's Internet traffic"},
        {"router", "SNMP"},
        {"upnp", "UPnP"},
    };
    for (const auto &[stored, words] : kWords) {
        if (storedSource == QLatin1String(stored))
            return QLatin1String(words);
    }
    return QStringLiteral("not known");
}

} // namespace flowtally
