#include "platform/text/DaysLeftText.h"

namespace flowtally {

QString daysLeftText(int days) {
    return days == 1 ? QStringLiteral("1 day left") : QStringLiteral("%1 days left").arg(days);
}

} // namespace flowtally
