// Cost of one reading of each kind of storage maintenance: md arrays from a
// sysfs tree, and zpool, btrfs and smartctl as fakes that print real
// captures (a shell that execs cat: the process starts of a real tool's
// run, and a little more), and one check of the hours to stay up. "Time" is
// the wall-clock time of a reading, process starts included; "CPU" is this
// process's own share of it, "child_cpu_us" that of the tools it ran.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

#include "activity/hours.h"
#include "activity/storage.h"
#include "base/settings.h"

namespace {

// A directory of files under /tmp, removed at the end.
struct bench_tree {
    std::string root;
    bench_tree()
    {
        char pattern[] = "/tmp/lw-bench-storage-XXXXXX";
        root = mkdtemp(pattern) != nullptr ? pattern : "/tmp";
    }
    ~bench_tree() { (void)system(("rm -rf '" + root + "'").c_str()); }
    bench_tree(const bench_tree&) = delete;
    bench_tree& operator=(const bench_tree&) = delete;
    void write(const std::string& name, const std::string& text, mode_t mode = 0644) const
    {
        for (std::size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1))
            mkdir((root + "/" + name.substr(0, slash)).c_str(), 0755);
        std::ofstream(root + "/" + name) << text;
        chmod((root + "/" + name).c_str(), mode);
    }
    // A fake tool that prints fixture, whatever it is asked.
    void tool(const std::string& name, const std::string& fixture) const
    {
        write("bin/" + name, "#!/bin/sh\nexec /bin/cat '" LW_FIXTURES "/" + fixture + "'\n", 0755);
    }
};

// The CPU time of this process's ended children, in microseconds.
double children_cpu_us()
{
    rusage usage{};
    (void)getrusage(RUSAGE_CHILDREN, &usage);
    const auto us = [](const timeval& t) { return t.tv_sec * 1e6 + t.tv_usec; };
    return us(usage.ru_utime) + us(usage.ru_stime);
}

// Reports, per reading, the CPU time of the tools run since start.
void child_cpu_report(benchmark::State& state, double start)
{
    state.counters["child_cpu_us"] =
        benchmark::Counter(children_cpu_us() - start, benchmark::Counter::kAvgIterations);
}

// PATH pointed at the tree's fakes for one benchmark.
struct fake_path {
    std::string old = getenv("PATH") != nullptr ? getenv("PATH") : "";
    explicit fake_path(const bench_tree& tree) { setenv("PATH", (tree.root + "/bin").c_str(), 1); }
    ~fake_path() { setenv("PATH", old.c_str(), 1); }
};

// Arg: md arrays, one of them resyncing.
void BM_StorageMd(benchmark::State& state)
{
    bench_tree tree;
    for (int i = 0; i < state.range(0); i++)
        tree.write("block/md" + std::to_string(i) + "/md/sync_action", i == 0 ? "resync\n" : "idle\n");
    storage_sys_root = tree.root.c_str();
    for (auto _ : state) {
        storage_reading reading;
        storage_read_md(reading);
        benchmark::DoNotOptimize(reading.jobs.size());
    }
    storage_reset();
}
BENCHMARK(BM_StorageMd)->Arg(1)->Arg(4)->ArgName("arrays")->Unit(benchmark::kMicrosecond);

// `zpool status` of two pools, one resilvering.
void BM_StorageZfs(benchmark::State& state)
{
    bench_tree tree;
    tree.tool("zpool", "zpool/zpool-status-2.2plus-scrub-finished-resilver-in-progress.txt");
    tree.write("module/zfs/refcnt", "0\n");
    storage_sys_root = tree.root.c_str();
    const fake_path path(tree);
    const double children = children_cpu_us();
    for (auto _ : state) {
        storage_reading reading;
        storage_read_zfs(reading);
        benchmark::DoNotOptimize(reading.jobs.size());
    }
    child_cpu_report(state, children);
    storage_reset();
}
BENCHMARK(BM_StorageZfs)->Unit(benchmark::kMicrosecond);

// One btrfs filesystem mounted twice: its exclusive operation and one
// `btrfs scrub status`.
void BM_StorageBtrfs(benchmark::State& state)
{
    bench_tree tree;
    tree.tool("btrfs", "btrfs/btrfs-progs-6.2-scrub-status-running.txt");
    tree.write("mounts", "/dev/lwb0 /srv btrfs rw 0 0\n/dev/lwb0 /home btrfs rw,subvol=/home 0 0\n");
    tree.write("fs/btrfs/71116cf7/devices/lwb0", "");
    tree.write("fs/btrfs/71116cf7/exclusive_operation", "none\n");
    storage_sys_root = tree.root.c_str();
    const std::string mounts = tree.root + "/mounts";
    storage_mounts_path = mounts.c_str();
    const fake_path path(tree);
    const double children = children_cpu_us();
    for (auto _ : state) {
        storage_reading reading;
        storage_read_btrfs(reading);
        benchmark::DoNotOptimize(reading.jobs.size());
    }
    child_cpu_report(state, children);
    storage_reset();
}
BENCHMARK(BM_StorageBtrfs)->Unit(benchmark::kMicrosecond);

// Arg: ATA disks, each asked with its own smartctl run.
void BM_StorageSmart(benchmark::State& state)
{
    bench_tree tree;
    tree.tool("smartctl", "smartctl/smartctl-7.3-c-ata-idle.txt");
    const fake_path path(tree);
    std::vector<std::string> disks;
    for (int i = 0; i < state.range(0); i++)
        disks.push_back("sd" + std::string(1, static_cast<char>('a' + i)));
    const double children = children_cpu_us();
    for (auto _ : state) {
        storage_reading reading;
        storage_read_smart(disks, reading);
        benchmark::DoNotOptimize(reading.jobs.size());
    }
    child_cpu_report(state, children);
    state.counters["disks"] = static_cast<double>(disks.size());
}
BENCHMARK(BM_StorageSmart)->Arg(1)->Arg(4)->Arg(8)->ArgName("disks")->Unit(benchmark::kMicrosecond);

// The real smartctl on this machine's disks (sd*, nvme*, vd* in
// /sys/block): its own start and work per disk, whatever it answers (a
// virtio disk is not identified, which is its quickest answer).
void BM_StorageSmartReal(benchmark::State& state)
{
    std::vector<std::string> disks;
    DIR* block = opendir("/sys/block");
    while (const dirent* entry = block != nullptr ? readdir(block) : nullptr) {
        const std::string name = entry->d_name;
        if (name.rfind("sd", 0) == 0 || name.rfind("nvme", 0) == 0 || name.rfind("vd", 0) == 0)
            disks.push_back(name);
    }
    if (block != nullptr)
        (void)closedir(block);
    if (disks.empty() || !storage_tool_present("smartctl")) {
        state.SkipWithError("no smartctl or no disk");
        return;
    }
    const double children = children_cpu_us();
    for (auto _ : state) {
        storage_reading reading;
        storage_read_smart(disks, reading);
        benchmark::DoNotOptimize(reading.unidentified.size());
    }
    child_cpu_report(state, children);
    state.counters["disks"] = static_cast<double>(disks.size());
}
BENCHMARK(BM_StorageSmartReal)->Unit(benchmark::kMicrosecond);

// One tool run through the child runner: `true`, the process start that
// each tool run (each disk's smartctl) takes beside the tool's own work.
void BM_StorageToolRun(benchmark::State& state)
{
    std::string output;
    int status = 0;
    const double children = children_cpu_us();
    for (auto _ : state) {
        storage_reading reading;
        benchmark::DoNotOptimize(storage_tool_run({"/bin/true"}, "true", output, status, reading));
    }
    child_cpu_report(state, children);
}
BENCHMARK(BM_StorageToolRun)->Unit(benchmark::kMicrosecond);

// One check of the hours to stay up: three windows, none holding.
void BM_AwakeHours(benchmark::State& state)
{
    snprintf(settings.awake_hours, sizeof settings.awake_hours, "%s",
             "Mon-Fri 08:00-08:01,Sat 10:00-10:01,Sun 03:00-03:01");
    for (auto _ : state) {
        activity_check check;
        hours_check(check);
        benchmark::DoNotOptimize(check.busy);
    }
    settings_reset();
}
BENCHMARK(BM_AwakeHours)->Unit(benchmark::kMicrosecond);

}  // namespace
