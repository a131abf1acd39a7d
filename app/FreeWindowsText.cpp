#include "app/FreeWindowsText.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QStringList>

namespace flowtally {

namespace {

constexpr qsizetype kMostWindows = 8;

QString tr(const char *text) {
    return QCoreApplication::translate("FreeWindowsText", text);
}

// "HH:MM" (or "H:MM") as minutes after midnight; none unless it is a time
// of day.
std::optional<int> minuteOfText(const QString &text) {
    static const QRegularExpression time(QStringLiteral("^(\\d{1,2}):(\\d{2})$"));
    const QRegularExpressionMatch match = time.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const int hour = match.captured(1).toInt();
    const int minute = match.captured(2).toInt();
    if (hour > 23 || minute > 59)
        return std::nullopt;
    return hour * 60 + minute;
}

} // namespace

std::variant<FreeWindows, QString> freeWindowsOfText(const QString &text) {
    FreeWindows windows;
    if (text.trimmed().isEmpty())
        return windows;
    // A comma too many (at the end) is no window.
    const QStringList parts = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        const QString window = part.trimmed();
        if (window.isEmpty())
            continue;
        if (windows.size() == kMostWindows)
            return tr("At most %1 windows.").arg(kMostWindows);
        const QStringList ends = window.split(QLatin1Char('-'));
        if (ends.size() != 2)
            return tr("“%1” is not a window: write it as 02:00-08:00.").arg(window);
        const std::optional<int> start = minuteOfText(ends[0].trimmed());
        const std::optional<int> end = minuteOfText(ends[1].trimmed());
        for (const auto &[minute, written] : {std::pair{start, ends[0]}, std::pair{end, ends[1]}}) {
            if (!minute)
                return tr("“%1” is not a time of day (00:00 to 23:59).").arg(written.trimmed());
        }
        if (*start == *end)
            return tr("“%1” starts and ends at the same time: it holds nothing.").arg(window);
        windows.append({*start, *end});
    }
    return windows;
}

QString textOfFreeWindows(const FreeWindows &windows) {
    QStringList texts;
    for (const FreeWindow &window : windows)
        texts.append(minuteOfDayText(window.start) + QLatin1Char('-') +
                     minuteOfDayText(window.end));
    return texts.join(QStringLiteral(", "));
}

} // namespace flowtally
