// The cost of one SynchronousTaskWrapper run of /bin/true next to the bare
// cost of starting and reaping the same program, measured interleaved so
// that both see the same machine load. Prints medians; asserts nothing.

#include "bench/Figures.h"
#include "WBLib/SynchronousTaskWrapper.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace flowtally {

namespace {

constexpr int kIterations = 2000;

struct Cost {
    double wallMicroseconds;
    double cpuMicroseconds; // this thread's own time, the child's not included
};

double microsecondsOf(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

template <typename Run> Cost measure(Run run) {
    const double wall = microsecondsOf(CLOCK_MONOTONIC);
    const double cpu = microsecondsOf(CLOCK_THREAD_CPUTIME_ID);
    run();
    return {microsecondsOf(CLOCK_MONOTONIC) - wall, microsecondsOf(CLOCK_THREAD_CPUTIME_ID) - cpu};
}

void bareSpawn() {
    char path[] = "/bin/true";
    char *argv[] = {path, nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, path, nullptr, nullptr, argv, environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
    }
}

void runner() {
    SynchronousTaskWrapper::execute(QStringLiteral("/bin/true"), {});
}

double median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

} // namespace

} // namespace flowtally

using namespace flowtally;

int main() {
    std::vector<double> bareWall, bareCpu, runnerWall, runnerCpu;
    for (int i = 0; i < kIterations; ++i) {
        const Cost bare = measure(bareSpawn);
        const Cost wrapped = measure(runner);
        bareWall.push_back(bare.wallMicroseconds);
        bareCpu.push_back(bare.cpuMicroseconds);
        runnerWall.push_back(wrapped.wallMicroseconds);
        runnerCpu.push_back(wrapped.cpuMicroseconds);
    }
    const double bareWallMedian = median(bareWall);
    const double runnerWallMedian = median(runnerWall);
    std::printf("/bin/true, %d runs each, interleaved; medians in microseconds\n", kIterations);
    std::printf("%-34s %10s %10s\n", "", "wall", "cpu");
    std::printf("%-34s %10.1f %10.1f\n", "posix_spawn + waitpid", bareWallMedian, median(bareCpu));
    std::printf("%-34s %10.1f %10.1f\n", "SynchronousTaskWrapper::execute", runnerWallMedian,
                median(runnerCpu));
    std::printf("wall-time ratio: %.2f\n", runnerWallMedian / bareWallMedian);
    printFigure("/bin/true, bare posix_spawn: wall time", bareWallMedian, "us", 1);
    printFigure("/bin/true, tool runner: wall time", runnerWallMedian, "us", 1);
    printFigure("/bin/true, tool runner: CPU, own thread", median(runnerCpu), "us", 1);
    return 0;
}
