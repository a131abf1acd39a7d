#include "app/BadgeText.h"

#include "app/FigureFormatter.h"
#include "WBLib/WBBKMGTFormatter.h"
#include "platform/text/DaysLeftText.h"

#include <cmath>

namespace flowtally {

namespace {

// As the alerts give amounts: two fraction digits, so that close ones read
// apart.
QString bytesText(double bytes) {
    return WBBKMGTFormatter::stringForObjectValue(bytes, 2);
}

} // namespace

BadgeText badgeText(const Meter::Figures &figures, std::optional<int> daysLeft) {
    // The projection is the total's over the time since the reset: the
    // billed part's is the same share of it.
    const double projection =
        figures.billed == figures.total
            ? figures.projection
            : figures.projection * (double(figures.billed) / double(figures.total));
    const std::optional<QString> nonFinite = nonFiniteFigureText(projection);
    BadgeText text;
    text.label = nonFinite ? *nonFinite : WBBKMGTFormatter::stringForObjectValue(projection, 0);
    const double billed = double(figures.billed);
    if (std::isfinite(figures.limit) && figures.limit > 0)
        text.detail =
            QStringLiteral("%1 of %2 used").arg(bytesText(billed), bytesText(figures.limit));
    else
        text.detail = QStringLiteral("%1 used \u00b7 No limit").arg(bytesText(billed));
    if (daysLeft)
        text.detail += QStringLiteral(" \u00b7 ") + daysLeftText(*daysLeft);
    return text;
}

} // namespace flowtally
