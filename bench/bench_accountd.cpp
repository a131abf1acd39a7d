// What flowtally-accountd's programs cost the traffic they count: iperf3
// between two network namespaces of the benchmark's own, joined by a veth
// pair with the kernel's default offloads, its client and server each in a
// cgroup below a cgroup folder of the benchmark's own, with the service
// attached to that folder (both ends counted) and with nothing attached,
// in turns. Prints, for each:
//  - TCP throughput (a bulk transfer: few, large packets of the stack);
//  - UDP packets a second and CPU a packet with 64-byte datagrams sent as
//    fast as they go (the packets where a cost a packet shows);
//  - the CPU of both ends a packet on the veth (the benchmark's cgroup's
//    usage_usec over the packets both ends counted);
// and, attached, the programs' own run time a packet as the kernel measures
// it (bpf_enable_stats, in a pass of its own, which that measurement slows),
// and their time on test packets alone (BPF_PROG_TEST_RUN: the kernel's
// average of a million runs), with a private and an Internet peer.
// The goal: at most 2 % less throughput, at most 100 ns a packet. Asserts
// nothing. Needs root, iproute2 and iperf3.
//
// Usage: bench_accountd [rounds, 1 to 10; default 3]
#include "accountd/client/AccountdClient.h"
#include "accountd/CgroupMount.h"
#include "bench/Figures.h"
#include "tests/support/NetworkScene.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <bpf/bpf.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sched.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace flowtally {

namespace {

constexpr int kTcpSeconds = 4;
constexpr int kUdpSeconds = 3;

struct Passage {
    double bitsPerSecond = 0;
    double packetsPerSecond = 0;
    double cpuPerPacketNs = 0;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Two namespaces, a veth pair, a cgroup folder with the two ends' cgroups.
class BenchScene {
  public:
    BenchScene() {
        const QString tag = QStringLiteral("ftaccb-%1-").arg(QCoreApplication::applicationPid());
        client = tag + "c";
        server = tag + "s";
        const auto mount = cgroup2MountPoint(readFile("/proc/self/mountinfo").toStdString());
        if (!mount) {
            error = "no cgroup v2 hierarchy";
            return;
        }
        root = *mount + "/flowtally-accountd-bench-" +
               std::to_string(QCoreApplication::applicationPid());
        for (const char *part : {"", "/client.scope", "/server.scope"})
            QDir().mkpath(QString::fromStdString(root + part));
        error = sh(QStringLiteral(R"(set -e; C=%1 S=%2
for n in $C $S; do ip netns add $n; ip -n $n link set lo up; done
ip -n $C link add veth0 type veth peer name veth1 netns $S
ip -n $C address add 10.88.0.1/24 dev veth0; ip -n $S address add 10.88.0.2/24 dev veth1
ip -n $C link set veth0 up; ip -n $S link set veth1 up)")
                       .arg(client, server));
    }
    ~BenchScene() {
        stopService();
        if (iperfServer > 0) {
            ::kill(iperfServer, SIGTERM);
            ::waitpid(iperfServer, nullptr, 0);
        }
        for (const QString &ns : {client, server})
            sh(QStringLiteral("ip netns delete %1").arg(ns));
        sh(QStringLiteral("find '%1' -depth -type d -exec rmdir {} +")
               .arg(QString::fromStdString(root)));
    }

    // Starts a program in one of the cgroups and a namespace: `ip netns
    // exec` from a process that joined the cgroup. Its standard output
    // goes to `output` when that is not -1.
    pid_t start(const char *cgroup, const QString &ns, std::vector<std::string> arguments,
                int output = -1) const {
        const std::string procs = root + '/' + cgroup + "/cgroup.procs";
        arguments.insert(arguments.begin(), {"ip", "netns", "exec", ns.toStdString()});
        std::vector<char *> argv;
        for (std::string &argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        const pid_t child = ::fork();
        if (child == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            const int joined = ::open(procs.c_str(), O_WRONLY | O_CLOEXEC);
            if (joined < 0 || ::write(joined, "0", 1) != 1)
                ::_exit(126);
            const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
            ::dup2(output >= 0 ? output : quiet, 1);
            ::dup2(quiet, 2);
            ::execvp("ip", argv.data());
            ::_exit(127);
        }
        return child;
    }

    bool startService() {
        const std::string program = FLOWTALLY_ACCOUNTD;
        const std::string socketPath = folder.filePath("accountd.sock").toStdString();
        service = ::fork();
        if (service == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            ::execl(program.c_str(), "flowtally-accountd", "--cgroup-root", root.c_str(),
                    "--socket", socketPath.c_str(), nullptr);
            ::_exit(127);
        }
        for (int tries = 0; tries < 100; ++tries) {
            if (readAccountd(socketPath).outcome == AccountdReading::Outcome::Counters)
                return true;
            ::usleep(100000);
        }
        return false;
    }
    void stopService() {
        if (service <= 0)
            return;
        ::kill(service, SIGTERM);
        ::waitpid(service, nullptr, 0);
        service = -1;
    }

    // The CPU time of everything in the folder, in nanoseconds.
    double cpuNs() const {
        const QByteArray stat = readFile(QString::fromStdString(root + "/cpu.stat"));
        for (const QByteArray &line : stat.split('\n'))
            if (line.startsWith("usage_usec "))
                return line.mid(11).toDouble() * 1000;
        return 0;
    }
    // Packets both ends' programs see: what the client's veth sent and
    // received.
    double packets() const {
        QString output;
        sh(QStringLiteral("ip netns exec %1 sh -c 'cat /sys/class/net/veth0/statistics/rx_packets "
                          "/sys/class/net/veth0/statistics/tx_packets'")
               .arg(client),
           &output);
        const QStringList lines = output.split('\n', Qt::SkipEmptyParts);
        return lines.value(0).toDouble() + lines.value(1).toDouble();
    }

    // One iperf3 run from the client; what it moved and what it cost.
    Passage run(const std::vector<std::string> &options, int seconds) const {
        int pipe[2];
        if (::pipe2(pipe, O_CLOEXEC) != 0)
            return {};
        std::vector<std::string> arguments = {"iperf3", "-c", "10.88.0.2",
                                              "-J",     "-t", std::to_string(seconds)};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const double cpuBefore = cpuNs(), packetsBefore = packets();
        const pid_t child = start("client.scope", client, arguments, pipe[1]);
        ::close(pipe[1]);
        QByteArray report;
        char buffer[65536];
        ssize_t got;
        while ((got = ::read(pipe[0], buffer, sizeof buffer)) > 0)
            report.append(buffer, got);
        ::close(pipe[0]);
        ::waitpid(child, nullptr, 0);
        const double cpu = cpuNs() - cpuBefore, moved = packets() - packetsBefore;
        const QJsonObject end = QJsonDocument::fromJson(report).object().value("end").toObject();
        Passage passage;
        passage.bitsPerSecond =
            end.value("sum_received").toObject().value("bits_per_second").toDouble();
        if (passage.bitsPerSecond == 0)
            passage.bitsPerSecond = end.value("sum").toObject().value("bits_per_second").toDouble();
        passage.packetsPerSecond = moved / seconds;
        passage.cpuPerPacketNs = moved > 0 ? cpu / moved : 0;
        return passage;
    }

    QString client, server, error;
    std::string root;
    QTemporaryDir folder;
    pid_t service = -1, iperfServer = -1;
};

// The programs attached to the folder: their run time and runs so far.
std::pair<double, double> programStatistics(const std::string &folder) {
    const int cgroup = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    double time = 0, runs = 0;
    for (const bpf_attach_type type : {BPF_CGROUP_INET_INGRESS, BPF_CGROUP_INET_EGRESS}) {
        __u32 ids[8] = {}, count = 8;
        if (bpf_prog_query(cgroup, type, 0, nullptr, ids, &count) != 0)
            continue;
        for (__u32 index = 0; index < count; ++index) {
            const int program = bpf_prog_get_fd_by_id(ids[index]);
            bpf_prog_info info{};
            __u32 size = sizeof info;
            if (program >= 0 && bpf_obj_get_info_by_fd(program, &info, &size) == 0) {
                time += static_cast<double>(info.run_time_ns);
                runs += static_cast<double>(info.run_cnt);
            }
            ::close(program);
        }
    }
    ::close(cgroup);
    return {time, runs};
}

// A packet as a test run takes it: an Ethernet header, then IPv4 or IPv6
// and TCP with the timestamp option, 1000 bytes of payload.
std::vector<unsigned char> testPacket(bool six, const unsigned char *source,
                                      const unsigned char *destination) {
    std::vector<unsigned char> packet(14, 0x02);
    packet[12] = six ? 0x86 : 0x08;
    packet[13] = six ? 0xdd : 0x00;
    const std::size_t payload = 32 + 1000;
    if (six) {
        const unsigned char header[8] = {0x60, 0, 0, 0, payload >> 8, payload & 0xff, 6, 64};
        packet.insert(packet.end(), header, header + 8);
        packet.insert(packet.end(), source, source + 16);
        packet.insert(packet.end(), destination, destination + 16);
    } else {
        const std::size_t total = 20 + payload;
        const unsigned char header[12] = {0x45, 0, total >> 8, total & 0xff, 0, 0, 0, 0, 64, 6};
        packet.insert(packet.end(), header, header + 12);
        packet.insert(packet.end(), source, source + 4);
        packet.insert(packet.end(), destination, destination + 4);
    }
    const unsigned char tcp[20] = {4, 210, 0, 80, 0, 0, 0, 1, 0, 0, 0, 1, 0x80, 0x10, 3, 232};
    packet.insert(packet.end(), tcp, tcp + 20);
    packet.resize(packet.size() + 12 + 1000, 0);
    return packet;
}

// The kernel's own average of a million runs of each attached program on
// a packet (BPF_PROG_TEST_RUN), in nanoseconds: the programs alone,
// without the noise of a busy machine's traffic.
double testRuns(const std::string &folder, const std::vector<unsigned char> &packet) {
    const int cgroup = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    double sum = 0;
    int programs = 0;
    for (const bpf_attach_type type : {BPF_CGROUP_INET_INGRESS, BPF_CGROUP_INET_EGRESS}) {
        __u32 ids[8] = {}, count = 8;
        if (bpf_prog_query(cgroup, type, 0, nullptr, ids, &count) != 0 || count == 0)
            continue;
        const int program = bpf_prog_get_fd_by_id(ids[0]);
        LIBBPF_OPTS(bpf_test_run_opts, run, .data_in = packet.data(),
                    .data_size_in = static_cast<__u32>(packet.size()), .repeat = 1000000);
        if (program >= 0 && bpf_prog_test_run_opts(program, &run) == 0) {
            sum += run.duration;
            ++programs;
        }
        ::close(program);
    }
    ::close(cgroup);
    return programs ? sum / programs : 0;
}

int benchmark(int rounds) {
    if (::geteuid() != 0) {
        std::printf("bench_accountd needs root (namespaces, cgroups, eBPF); nothing measured\n");
        return 0;
    }
    BenchScene scene;
    if (!scene.error.isEmpty()) {
        std::printf("no scene: %s\n", qPrintable(scene.error));
        return 1;
    }
    scene.iperfServer = scene.start("server.scope", scene.server, {"iperf3", "-s"});
    ::usleep(500000);

    std::vector<double> tcp[2], udp[2], tcpCpu[2], udpCpu[2];
    for (int round = 0; round < rounds; ++round) {
        for (const int attached : {0, 1}) {
            if (attached && !scene.startService()) {
                std::printf("the service did not start\n");
                return 1;
            }
            const Passage bulk = scene.run({}, kTcpSeconds);
            const Passage small = scene.run({"-u", "-b", "0", "-l", "64"}, kUdpSeconds);
            scene.stopService();
            tcp[attached].push_back(bulk.bitsPerSecond);
            tcpCpu[attached].push_back(bulk.cpuPerPacketNs);
            udp[attached].push_back(small.packetsPerSecond);
            udpCpu[attached].push_back(small.cpuPerPacketNs);
            std::printf("round %d, %s: TCP %.2f Gbit/s (%.0f ns CPU a packet), UDP 64 B %.0f "
                        "packets/s (%.0f ns CPU a packet)\n",
                        round + 1, attached ? "attached" : "detached", bulk.bitsPerSecond / 1e9,
                        bulk.cpuPerPacketNs, small.packetsPerSecond, small.cpuPerPacketNs);
        }
    }

    // The programs' own time, measured by the kernel while the statistics
    // are on.
    if (!scene.startService())
        return 1;
    const int statistics = bpf_enable_stats(BPF_STATS_RUN_TIME);
    const auto before = programStatistics(scene.root);
    scene.run({}, kUdpSeconds);
    const auto afterTcp = programStatistics(scene.root);
    scene.run({"-u", "-b", "0", "-l", "64"}, kUdpSeconds);
    const auto after = programStatistics(scene.root);
    ::close(statistics);
    const unsigned char host[4] = {10, 88, 0, 1}, privatePeer[4] = {192, 168, 1, 9},
                        internetPeer[4] = {203, 0, 113, 1};
    const unsigned char host6[16] = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2},
                        internetPeer6[16] = {0x20, 0x01, 0x0d, 0xb8, 0xff, 0, 0, 0,
                                             0,    0,    0,    0,    0,    0, 0, 1};
    const double privateRun = testRuns(scene.root, testPacket(false, host, privatePeer));
    const double internetRun = testRuns(scene.root, testPacket(false, host, internetPeer));
    const double internetRun6 = testRuns(scene.root, testPacket(true, host6, internetPeer6));
    scene.stopService();
    const double tcpRun =
        (afterTcp.first - before.first) / std::max(1.0, afterTcp.second - before.second);
    const double udpRun =
        (after.first - afterTcp.first) / std::max(1.0, after.second - afterTcp.second);

    const double tcpLoss = 100 * (1 - median(tcp[1]) / median(tcp[0]));
    const double udpLoss = 100 * (1 - median(udp[1]) / median(udp[0]));
    std::printf("\nmedians of %d rounds           detached    attached\n", rounds);
    std::printf("TCP throughput, Gbit/s        %9.2f   %9.2f   (%.1f %% less)\n",
                median(tcp[0]) / 1e9, median(tcp[1]) / 1e9, tcpLoss);
    std::printf("TCP CPU a veth packet, ns     %9.0f   %9.0f\n", median(tcpCpu[0]),
                median(tcpCpu[1]));
    std::printf("UDP 64 B packets a second     %9.0f   %9.0f   (%.1f %% fewer)\n", median(udp[0]),
                median(udp[1]), udpLoss);
    std::printf("UDP CPU a veth packet, ns     %9.0f   %9.0f   (%.0f ns more)\n", median(udpCpu[0]),
                median(udpCpu[1]), median(udpCpu[1]) - median(udpCpu[0]));
    std::printf("programs' own run, ns         TCP %.0f, UDP %.0f (kernel statistics)\n", tcpRun,
                udpRun);
    std::printf("programs' test run, ns        IPv4 private peer %.0f, IPv4 Internet peer %.0f, "
                "IPv6 Internet peer %.0f\n",
                privateRun, internetRun, internetRun6);

    printFigure("veth TCP throughput, detached", median(tcp[0]) / 1e9, "Gbit/s", 2);
    printFigure("veth TCP throughput, attached", median(tcp[1]) / 1e9, "Gbit/s", 2);
    printFigure("veth TCP throughput lost to the programs", tcpLoss, "%", 1);
    printFigure("veth UDP 64 B packets a second, detached", median(udp[0]), "", 0);
    printFigure("veth UDP 64 B packets a second, attached", median(udp[1]), "", 0);
    printFigure("veth UDP CPU a packet, detached", median(udpCpu[0]), "ns", 0);
    printFigure("veth UDP CPU a packet, attached", median(udpCpu[1]), "ns", 0);
    printFigure("programs' run a packet, TCP", tcpRun, "ns", 0);
    printFigure("programs' run a packet, UDP 64 B", udpRun, "ns", 0);
    printFigure("programs' test run, IPv4 private peer", privateRun, "ns", 0);
    printFigure("programs' test run, IPv4 Internet peer", internetRun, "ns", 0);
    printFigure("programs' test run, IPv6 Internet peer", internetRun6, "ns", 0);
    return 0;
}

} // namespace

} // namespace flowtally

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    const int rounds = argc > 1 ? std::clamp(std::atoi(argv[1]), 1, 10) : 3;
    return flowtally::benchmark(rounds);
}
