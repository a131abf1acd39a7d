#pragma once

#include <functional>

class QMenu;

namespace flowtally {

class HistoryStore;
class Meter;

// Adds "Applications…" to a menu of the main window: it opens the
// Applications window on what each application moved on the network the
// meter holds, since the start of its totals, read from `history` (none
// while there is no history); where `serviceAnswers` says flowtally-accountd
// did not answer, the window says how to enable it instead.
void addApplicationsView(QMenu *menu, const Meter &meter, std::function<HistoryStore *()> history,
                         std::function<bool()> serviceAnswers);

} // namespace flowtally
