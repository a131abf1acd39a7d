#include "accountd/Visibility.h"

#include <string>

namespace flowtally {

namespace {

// The path itself or a path below it.
bool atOrBelow(std::string_view path, std::string_view folder) {
    return path.starts_with(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

} // namespace

bool visibleTo(std::string_view path, std::uint32_t uid) {
    constexpr std::string_view system = "system.slice/";
    if (path.starts_with(system) && path.size() > system.size())
        return true;
    const std::string slice = "user.slice/user-" + std::to_string(uid) + ".slice";
    return atOrBelow(path, slice);
}

} // namespace flowtally
