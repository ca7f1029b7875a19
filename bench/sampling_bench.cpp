// Cost of the samplers. Parsing plus recording fed from memory for 10, 1000
// and 10000 interfaces or disks (the time per item must stay flat as the
// count grows), and one whole sampling pass through the commands and
// through the kernel counters on this machine, side by side, with the CPU
// time of the child processes counted in ("cpu_us_per_pass").
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ftw.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/settings.h"
#include "sampling/drive.h"
#include "sampling/drive_iostat.h"
#include "sampling/drive_kernel.h"
#include "sampling/sources.h"
#include "sampling/traffic.h"
#include "sampling/traffic_ifconfig.h"
#include "sampling/traffic_kernel.h"
#include "sampling/traffic_links.h"

namespace {

std::string ifconfig_text(int count)
{
    std::string text;
    for (int i = 0; i < count; i++) {
        text += "veth" + std::to_string(i) + ": flags=4163<UP,BROADCAST,RUNNING,MULTICAST>  mtu 1500\n"
                "        inet6 fe80::2e0:4cff:fe68:1a2b  prefixlen 64  scopeid 0x20<link>\n"
                "        ether 00:e0:4c:68:1a:2b  txqueuelen 1000  (Ethernet)\n"
                "        RX packets 8830163  bytes 11964216372 (11.1 GiB)\n"
                "        RX errors 0  dropped 1204  overruns 0  frame 0\n"
                "        TX packets 3114480  bytes 1428890118 (1.3 GiB)\n"
                "        TX errors 0  dropped 0 overruns 0  carrier 0  collisions 0\n\n";
    }
    return text;
}

std::string iostat_text(int count)
{
    std::string text = "Linux 6.1.0-28-amd64 (nas) \t12/07/26 \t_x86_64_\t(4 CPU)\n\n"
                       "Device             tps    kB_read/s    kB_wrtn/s    kB_dscd/s    kB_read    kB_wrtn    kB_dscd\n";
    for (int i = 0; i < count; i++)
        text += "sd" + std::to_string(i) + "               3.02       410.55        61.30         0.00   35665316    5325224          0\n";
    return text;
}

std::string proc_net_dev_text(int count)
{
    std::string text = "Inter-|   Receive                                                |  Transmit\n"
                       " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs drop fifo colls carrier compressed\n";
    for (int i = 0; i < count; i++)
        text += "veth" + std::to_string(i) + ": 11964216372 8830163    0 1204    0     0          0     20311 1428890118 3114480    0    0    0     0       0          0\n";
    return text;
}

std::string diskstats_text(int count)
{
    std::string text;
    for (int i = 0; i < count; i++)
        text += "   8       0 sd" + std::to_string(i) + " 188021 90312 71330632 1203321 51022 88122 10650448 912334 0 412003 2130212 0 0 0 0 10211 14557\n";
    return text;
}

// Runs parse over text from memory each iteration and records the readings;
// the records stay, so every run after the first updates existing ones, as
// in the daemon.
void parse_from_memory(benchmark::State& state, const std::string& text, counter_parser parse,
                       void (*add)(std::string_view, uint64_t, uint64_t))
{
    std::string buffer = text;
    counter_readings readings;
    for (auto _ : state) {
        FILE* in = fmemopen(buffer.data(), buffer.size(), "r");
        benchmark::DoNotOptimize(parse(in, readings));
        fclose(in);
        readings_record(readings, add);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    traffic_data_clear();
    drive_data_clear();
}

void BM_ParseIfconfig(benchmark::State& state)
{
    parse_from_memory(state, ifconfig_text(static_cast<int>(state.range(0))), parse_ifconfig, traffic_data_add);
}

void BM_ParseIostat(benchmark::State& state)
{
    settings_reset();
    parse_from_memory(state, iostat_text(static_cast<int>(state.range(0))), parse_iostat, drive_data_add);
}

void BM_ParseProcNetDev(benchmark::State& state)
{
    interface_is_up = [](const char* name) { return name[0] != '\0'; };  // no kernel query for made-up names
    parse_from_memory(state, proc_net_dev_text(static_cast<int>(state.range(0))), parse_proc_net_dev, traffic_data_add);
    sampling_reset();
}

void BM_ParseDiskstats(benchmark::State& state)
{
    settings_reset();
    char dir[] = "/tmp/lw-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr) {
        state.SkipWithError("no temporary directory");
        return;
    }
    for (int i = 0; i < state.range(0); i++)
        mkdir((std::string(dir) + "/sd" + std::to_string(i)).c_str(), 0755);
    sys_block_path = dir;
    parse_from_memory(state, diskstats_text(static_cast<int>(state.range(0))), parse_diskstats, drive_data_add);
    sampling_reset();
    nftw(dir, [](const char* p, const struct stat*, int, struct FTW*) { return remove(p); }, 16,
         FTW_DEPTH | FTW_PHYS);
}

BENCHMARK(BM_ParseIfconfig)->Arg(10)->Arg(1000)->Arg(10000);
BENCHMARK(BM_ParseIostat)->Arg(10)->Arg(1000)->Arg(10000);
BENCHMARK(BM_ParseProcNetDev)->Arg(10)->Arg(1000)->Arg(10000);
BENCHMARK(BM_ParseDiskstats)->Arg(10)->Arg(1000)->Arg(10000);

double cpu_seconds(int who)
{
    rusage u{};
    getrusage(who, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// One whole pass of the watch loop's sampling (network and disk, display
// off) on this machine; range(0) is the counter source.
void BM_SamplingPass(benchmark::State& state)
{
    settings_reset();
    sampling_reset();
    settings.counter_source = static_cast<int32_t>(state.range(0));
    // Every kind of disk, so that "iostat" yields something on any machine.
    snprintf(settings.disk_prefixes, sizeof settings.disk_prefixes, "%s", "sd,nvme,vd,xvd,hd,mmcblk,md");
    get_traffic_data();  // first sightings
    get_drive_data();
    const double self = cpu_seconds(RUSAGE_SELF);
    const double children = cpu_seconds(RUSAGE_CHILDREN);
    for (auto _ : state) {
        get_traffic_data();
        get_drive_data();
    }
    const double spent = cpu_seconds(RUSAGE_SELF) - self + cpu_seconds(RUSAGE_CHILDREN) - children;
    state.counters["cpu_us_per_pass"] = spent * 1e6 / static_cast<double>(state.iterations());
    if (settings.counter_source == counter_source_commands && (traffic_table.state.on_kernel || drive_table.state.on_kernel))
        state.SkipWithError("a command yielded nothing: the pass fell back to the kernel counters");
    traffic_data_clear();
    drive_data_clear();
    settings_reset();
}

BENCHMARK(BM_SamplingPass)->ArgName("source")->Arg(counter_source_commands)->Arg(counter_source_kernel);

}  // namespace
