#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace flowtally {

// The paths of the cgroups under a root folder by their id (the folder's
// inode number, which bpf_skb_cgroup_id() answers), relative to the root:
// "" for the root itself, "user.slice/user-1000.slice/..." below it. Found
// by walking the tree, at most once a pause and only when an id is
// unknown; the walk is bounded in folders, depth and bytes of paths, so a
// user who makes many cgroups in a delegated subtree cannot make it
// endless.
class CgroupPaths {
  public:
    struct Limits {
        std::size_t folders = 16384;
        std::size_t depth = 64;
        std::size_t pathBytes = 4u << 20;
        std::chrono::milliseconds pause{1000};
    };

    // `root`: an open descriptor of the root folder, which stays the
    // caller's and open while this object lives.
    explicit CgroupPaths(int root) : CgroupPaths(root, Limits()) {}
    CgroupPaths(int root, Limits limits);

    // The path of a cgroup, or null when it is not known.
    const std::string *pathOf(std::uint64_t id) const;

    // Makes the paths of these ids known where the tree has them: walks it
    // anew when one of them is unknown and the pause since the last walk is
    // over. Of cgroups that went since, the paths of these ids are kept
    // (their counters live on); the others are forgotten.
    void learn(const std::vector<std::uint64_t> &ids);

    std::size_t size() const { return paths_.size(); }

  private:
    void walk(int folder, const std::string &path, std::size_t depth,
              std::unordered_map<std::uint64_t, std::string> &found, std::size_t &bytes) const;

    int root_;
    Limits limits_;
    std::unordered_map<std::uint64_t, std::string> paths_;
    std::chrono::steady_clock::time_point lastWalk_{};
    bool walked_ = false;
};

} // namespace flowtally
