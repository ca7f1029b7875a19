// Where the samplers read their counters: the commands and the kernel files,
// process-wide values that tests point elsewhere, and the one reset of all
// sampling state.
#pragma once

#include <cstddef>
#include <string>

constexpr const char* ifconfig_command_default = "ifconfig";
constexpr const char* iostat_command_default = "iostat";
constexpr const char* proc_net_dev_path_default = "/proc/net/dev";
constexpr const char* diskstats_path_default = "/proc/diskstats";
constexpr const char* sys_block_path_default = "/sys/block";

extern const char* ifconfig_command;
extern const char* iostat_command;
extern const char* proc_net_dev_path;    // per-interface byte counters
extern const char* diskstats_path;       // per-disk sector counters
extern const char* sys_block_path;       // <dir>/<disk> exists for whole disks

// Milliseconds that one run of a sampler command may take: the shorter of
// 10 s and the display interval, but at least 1 s.
int sampler_deadline_default_ms();
// The deadline in use; tests shorten it.
extern int (*sampler_deadline_ms)();
// Output of a sampler command beyond this is not a listing of counters.
constexpr std::size_t sampler_output_cap = 4 << 20;

// Puts all sampling state back as at process start: no records, no warning
// printed, no switch to the kernel counters, and the commands, paths,
// deadline and interface up test at their defaults.
void sampling_reset();

// Runs command to its end and takes its output, in the C locale (for the
// child only). A plain program name or path is started directly; any other
// text through /bin/sh -c. Returns false, with output empty, when it cannot
// be started, has not ended and closed its output by the deadline, or
// writes more than the cap: then it is killed with all that it started.
bool run_sampler_command(const char* command, std::string& output);
