#pragma once

#include "history/FreeHours.h"

#include <QString>

#include <variant>

namespace flowtally {

// Free hours as a person types them in the preferences: windows of local
// time separated by commas, each a start and an end as a wall clock shows
// them, "02:00-08:00, 23:00-06:00"; an empty text is none. At most eight
// windows, as a record keeps.

// The windows a text names, or a sentence saying what is wrong with it.
std::variant<FreeWindows, QString> freeWindowsOfText(const QString &text);
// The windows in the same form: "02:00-08:00, 23:00-06:00".
QString textOfFreeWindows(const FreeWindows &windows);

} // namespace flowtally
