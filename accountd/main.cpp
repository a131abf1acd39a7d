// flowtally-accountd: counts the traffic of every cgroup of the machine
// (each application, each system service) per interface, direction and
// kind of peer, with eBPF programs attached to the cgroup v2 tree's root,
// and answers each local user with the counters of their own applications,
// the system services and the machine's totals. See flowtally-accountd(8).
#include "accountd/protocol/AccountdProtocol.h"
#include "accountd/Accounting.h"
#include "accountd/CgroupMount.h"
#include "accountd/CgroupPaths.h"
#include "accountd/InterfaceWatch.h"
#include "accountd/Poller.h"
#include "accountd/Programs.h"
#include "accountd/Server.h"
#include "accountd/SystemdNotify.h"
#include "Version.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <string>
#include <sys/epoll.h>
#include <sys/random.h>
#include <sys/signalfd.h>
#include <sys/statfs.h>
#include <unistd.h>

using namespace flowtally;

namespace {

constexpr char kUsage[] = "Usage: flowtally-accountd [--socket PATH] [--cgroup-root FOLDER]\n";

int fail(const std::string &what) {
    std::fprintf(stderr, "flowtally-accountd: %s\n", what.c_str());
    return 1;
}

std::string fileText(const char *path) {
    std::string text;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char buffer[8192];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0 && text.size() < (4u << 20))
        text.append(buffer, static_cast<std::size_t>(got));
    ::close(fd);
    return text;
}

// 32 lower-case hexadecimal digits, new at every start.
std::string newStartId() {
    unsigned char bytes[16] = {};
    if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes))
        return std::string();
    std::string id;
    for (const unsigned char byte : bytes) {
        id += "0123456789abcdef"[byte >> 4];
        id += "0123456789abcdef"[byte & 0xf];
    }
    return id;
}

} // namespace

int main(int argc, char **argv) {
    std::string socketPath(kAccountdDefaultSocket);
    std::string root;
    for (int index = 1; index < argc; ++index) {
        const std::string_view argument = argv[index];
        if ((argument == "--socket" || argument == "--cgroup-root") && index + 1 < argc) {
            (argument == "--socket" ? socketPath : root) = argv[++index];
        } else if (argument == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (argument == "--version") {
            std::printf("flowtally-accountd %s\n", kVersion);
            return 0;
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }

    // The stop signals arrive through a descriptor of the loop, so that
    // everything is taken down in order.
    sigset_t stops;
    sigemptyset(&stops);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&stops, signal);
    sigprocmask(SIG_BLOCK, &stops, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    const int signals = ::signalfd(-1, &stops, SFD_NONBLOCK | SFD_CLOEXEC);
    if (signals < 0)
        return fail(std::string("no signal descriptor: ") + std::strerror(errno));

    if (root.empty()) {
        const auto mount = cgroup2MountPoint(fileText("/proc/self/mountinfo"));
        if (!mount)
            return fail("this system mounts no cgroup v2 hierarchy");
        root = *mount;
    }
    const int rootFolder = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct statfs system {};
    if (rootFolder < 0 || ::fstatfs(rootFolder, &system) != 0 ||
        system.f_type != CGROUP2_SUPER_MAGIC)
        return fail(root + " is no folder of a cgroup v2 hierarchy");
    const std::string startId = newStartId();
    if (startId.empty())
        return fail("no random start identifier");

    Programs programs;
    if (const std::string failure = programs.load(); !failure.empty())
        return fail(failure);
    // The machine's prefixes are in the map before the first packet counts.
    InterfaceWatch interfaces([&programs](const LocalPrefix &prefix, bool present) {
        return programs.setPrefix(prefix, present);
    });
    if (const std::string failure = interfaces.open(); !failure.empty())
        return fail(failure);
    if (const std::string failure = programs.attach(rootFolder); !failure.empty())
        return fail(failure);

    CgroupPaths paths(rootFolder);
    Accounting accounting(programs, interfaces, paths, startId);
    Poller poller;
    if (!poller.valid())
        return fail(std::string("no epoll descriptor: ") + std::strerror(errno));
    bool running = true;
    poller.add(signals, EPOLLIN, [&running](std::uint32_t) { running = false; });
    poller.add(interfaces.fd(), EPOLLIN, [&interfaces](std::uint32_t) { interfaces.receive(); });
    {
        Server server(poller, [&accounting](std::uint32_t uid) { return accounting.answer(uid); });
        if (const std::string failure = server.listen(socketPath); !failure.empty())
            return fail(failure);
        std::fprintf(stderr, "flowtally-accountd: counting the cgroups under %s, answering at %s\n",
                     root.c_str(), socketPath.c_str());
        notifySystemd("READY=1");
        while (running)
            poller.wait(server.expire());
        notifySystemd("STOPPING=1");
    }
    programs.unload();
    std::fprintf(stderr, "flowtally-accountd: stopped, the programs detached\n");
    return 0;
}
