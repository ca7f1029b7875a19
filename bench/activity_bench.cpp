// Cost of one check of the process and connection sources on a machine
// with 1,000 processes and 1,000 connections: a fake /proc of 1,000
// process directories read whole at every check, this machine's own /proc
// with 1,000 more processes, and 1,000 real established loopback
// connections read through the kernel's socket diagnostics and through
// /proc/net/tcp. The goal is at most 1 ms of CPU per check for each
// source.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <cstdio>
#include <csignal>
#include <ftw.h>
#include <spawn.h>
#include <netinet/in.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "activity/busy_check.h"
#include "activity/cpu.h"
#include "activity/logind.h"
#include "activity/ports.h"
#include "activity/processes.h"
#include "base/settings.h"
#include "support/private_bus.h"

namespace {

constexpr int process_count = 1000;
constexpr int connection_count = 1000;

void write_file(const std::string& path, const std::string& text)
{
    FILE* f = fopen(path.c_str(), "w");
    if (f == nullptr)
        return;
    (void)fwrite(text.data(), 1, text.size(), f);
    (void)fclose(f);
}

// A /proc with count process directories; none matches the patterns, so
// every process costs both reads.
std::string make_fake_proc(int count)
{
    char tmpl[] = "/tmp/lw-bench-proc-XXXXXX";
    const std::string root = mkdtemp(tmpl);
    for (int pid = 1; pid <= count; pid++) {
        const std::string dir = root + "/" + std::to_string(pid);
        mkdir(dir.c_str(), 0755);
        write_file(dir + "/comm", "worker" + std::to_string(pid) + "\n");
        write_file(dir + "/cmdline", std::string("/usr/lib/app/worker\0--serve\0", 28));
    }
    return root;
}

void remove_tree(const std::string& root)
{
    (void)nftw(root.c_str(), [](const char* p, const struct stat*, int, struct FTW*) { return remove(p); }, 16,
               FTW_DEPTH | FTW_PHYS);
}

void BM_ProcessCheckFakeProc(benchmark::State& state)
{
    const std::string root = make_fake_proc(process_count);
    proc_root = root.c_str();
    snprintf(settings.busy_processes, busy_processes_size, "rsync,borg,restic,apt*,dpkg,ffmpeg");
    for (auto _ : state) {
        activity_check check;
        process_check(check);
        benchmark::DoNotOptimize(check.busy);
    }
    state.counters["processes"] = process_count;
    process_reset();
    remove_tree(root);
}
BENCHMARK(BM_ProcessCheckFakeProc)->Unit(benchmark::kMicrosecond);

// This machine's /proc with 1,000 more real processes, followed between
// checks through the kernel's process events when run as root (each check
// then reads only the processes that changed). Arg: processes started and
// ended between two checks.
void BM_ProcessCheckThisMachine(benchmark::State& state)
{
    std::vector<pid_t> children;
    for (int i = 0; i < process_count; i++) {
        const pid_t child = fork();
        if (child == 0) {
            pause();
            _exit(0);
        }
        if (child > 0)
            children.push_back(child);
    }
    snprintf(settings.busy_processes, busy_processes_size, "rsync,borg,restic,apt*,dpkg,ffmpeg");
    for (auto _ : state) {
        state.PauseTiming();
        // Spawned, so that this process's memory is not left to copy on
        // write inside the timed check.
        for (int i = 0; i < state.range(0); i++) {
            pid_t brief = 0;
            char* argv[] = {const_cast<char*>("true"), nullptr};
            if (posix_spawn(&brief, "/bin/true", nullptr, nullptr, argv, environ) == 0)
                waitpid(brief, nullptr, 0);
        }
        state.ResumeTiming();
        activity_check check;
        process_check(check);
        benchmark::DoNotOptimize(check.busy);
    }
    state.counters["processes"] = static_cast<double>(children.size());
    process_reset();
    for (const pid_t child : children)
        kill(child, SIGKILL);
    for (const pid_t child : children)
        waitpid(child, nullptr, 0);
}
BENCHMARK(BM_ProcessCheckThisMachine)->Arg(0)->Arg(100)->ArgName("started")->Unit(benchmark::kMicrosecond);

// count established connections to one listening port over loopback.
struct loopback_connections {
    int listener = -1;
    uint16_t port = 0;
    std::vector<int> fds;
    explicit loopback_connections(int count)
    {
        rlimit limit{};
        getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof addr;
        listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (bind(listener, reinterpret_cast<sockaddr*>(&addr), length) != 0 || listen(listener, 128) != 0 ||
            getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &length) != 0)
            return;
        port = ntohs(addr.sin_port);
        for (int i = 0; i < count; i++) {
            const int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (client < 0 || connect(client, reinterpret_cast<sockaddr*>(&addr), length) != 0)
                break;
            fds.push_back(client);
            fds.push_back(accept(listener, nullptr, nullptr));
        }
    }
    ~loopback_connections()
    {
        for (const int fd : fds)
            close(fd);
        close(listener);
    }
};

// Arg 0: the /proc files, 1: socket diagnostics. Arg 1: 1 when the
// connections' port is listed (all of them match), 0 when only another is.
// Arg 2: 1 with TCP's open counters read, which spare the walk while no
// connection opens; 0 without them, as when one opens between every two
// checks.
void BM_PortCheck(benchmark::State& state)
{
    loopback_connections connections(connection_count);
    port_use_netlink = state.range(0) == 1;
    if (state.range(2) == 0)
        proc_net_snmp_path = "/nonexistent";
    snprintf(settings.busy_ports, busy_ports_size, "%u", state.range(1) == 1 ? connections.port : 9);
    for (auto _ : state) {
        activity_check check;
        port_check(check);
        benchmark::DoNotOptimize(check.busy);
    }
    state.counters["connections"] = static_cast<double>(connections.fds.size() / 2);
    port_reset();
}
BENCHMARK(BM_PortCheck)
    ->ArgsProduct({{0, 1}, {0, 1}, {0, 1}})
    ->ArgNames({"netlink", "listed", "counters"})
    ->Unit(benchmark::kMicrosecond);

// Sessions and inhibitor locks from a mock logind on a private bus. The
// mock answers from Python, so only this process's CPU time counts: the
// calls, the waits and the reading of the answers. Arg: sessions (each
// also holding one lock).
void BM_LogindChecks(benchmark::State& state)
{
    if (!private_bus::available()) {
        state.SkipWithError("dbus-daemon or python3-dbusmock is not installed");
        return;
    }
    private_bus logind;
    std::vector<int> locks;
    if (!logind.up()) {
        state.SkipWithError("the private bus did not start");
        return;
    }
    for (int i = 0; i < state.range(0); i++) {
        const std::string id = "c" + std::to_string(i);
        logind.add_session(id.c_str(), ("user" + std::to_string(i)).c_str());
        locks.push_back(logind.inhibit("sleep", id.c_str(), "block"));
    }
    settings.user_sessions = user_sessions_any;
    settings.inhibitors = 1;
    for (auto _ : state) {
        activity_check check;
        session_check(check);
        inhibitor_check(check);
        benchmark::DoNotOptimize(check.busy);
    }
    for (const int fd : locks)
        close(fd);
    logind_reset();
}
BENCHMARK(BM_LogindChecks)->Arg(1)->Arg(10)->ArgName("sessions")->Unit(benchmark::kMicrosecond);

// The CPU share from this machine's /proc/stat.
void BM_CpuCheck(benchmark::State& state)
{
    settings.cpu_threshold = 50;
    for (auto _ : state) {
        activity_check check;
        cpu_check(check);
        benchmark::DoNotOptimize(check.busy);
    }
    cpu_reset();
}
BENCHMARK(BM_CpuCheck)->Unit(benchmark::kMicrosecond);

// Starting and awaiting a check command that does nothing (the command's
// own CPU time is its own, not counted here).
void BM_CheckCommand(benchmark::State& state)
{
    snprintf(settings.busy_check, busy_check_size, "true");
    for (auto _ : state) {
        activity_check check;
        busy_command_check(check);
        benchmark::DoNotOptimize(check.busy);
    }
    busy_command_reset();
}
BENCHMARK(BM_CheckCommand)->Unit(benchmark::kMicrosecond);

}  // namespace

