#include "accountd/CgroupPaths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace flowtally {

CgroupPaths::CgroupPaths(int root, Limits limits) : root_(root), limits_(limits) {}

const std::string *CgroupPaths::pathOf(std::uint64_t id) const {
    const auto found = paths_.find(id);
    return found == paths_.end() ? nullptr : &found->second;
}

void CgroupPaths::learn(const std::vector<std::uint64_t> &ids) {
    bool unknown = false;
    for (const std::uint64_t id : ids)
        unknown = unknown || !paths_.contains(id);
    const auto now = std::chrono::steady_clock::now();
    if (!unknown || (walked_ && now - lastWalk_ < limits_.pause))
        return;
    walked_ = true;
    lastWalk_ = now;

    std::unordered_map<std::uint64_t, std::string> found;
    std::size_t bytes = 0;
    struct stat status {};
    if (::fstat(root_, &status) == 0) {
        found.emplace(status.st_ino, std::string());
        walk(root_, std::string(), 1, found, bytes);
    }
    for (const std::uint64_t id : ids) {
        const auto known = paths_.find(id);
        if (known != paths_.end() && !found.contains(id))
            found.emplace(id, std::move(known->second));
    }
    paths_ = std::move(found);
}

void CgroupPaths::walk(int folder, const std::string &path, std::size_t depth,
                       std::unordered_map<std::uint64_t, std::string> &found,
                       std::size_t &bytes) const {
    if (depth > limits_.depth)
        return;
    // fdopendir takes the descriptor it is given: a duplicate of ours.
    const int listed = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listed < 0)
        return;
    DIR *entries = ::fdopendir(listed);
    if (!entries) {
        ::close(listed);
        return;
    }
    while (const dirent *entry = ::readdir(entries)) {
        const std::string_view name = entry->d_name;
        if (entry->d_type != DT_DIR || name == "." || name == "..")
            continue;
        if (found.size() >= limits_.folders || bytes >= limits_.pathBytes)
            break;
        const int child = ::openat(::dirfd(entries), entry->d_name,
                                   O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child < 0)
            continue;
        struct stat status {};
        if (::fstat(child, &status) == 0) {
            std::string childPath = path.empty() ? std::string(name) : path + '/' + entry->d_name;
            bytes += childPath.size();
            found.emplace(status.st_ino, childPath);
            walk(child, childPath, depth + 1, found, bytes);
        }
        ::close(child);
    }
    ::closedir(entries);
}

} // namespace flowtally
