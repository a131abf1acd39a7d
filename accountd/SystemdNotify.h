#pragma once

#include <string_view>

namespace flowtally {

// Tells systemd the service's state ("READY=1", "STOPPING=1") on the
// socket it names in NOTIFY_SOCKET; nothing when it names none.
void notifySystemd(std::string_view state);

} // namespace flowtally
