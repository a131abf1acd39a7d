#pragma once

#include <QString>

namespace flowtally {

// The days left in a billing cycle as people write them: "1 day left",
// "24 days left", "0 days left". The cycle line, the badge, the alerts and
// the report all say it with this one function.
QString daysLeftText(int days);

} // namespace flowtally
