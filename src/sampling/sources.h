// Where the samplers read their counters: the commands and the kernel files,
// process-wide values that tests point elsewhere, and the one reset of all
// sampling state.
#pragma once

#include "base/streams.h"

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

// Puts all sampling state back as at process start: no records, no warning
// printed, no switch to the kernel counters, and the commands, paths and
// the interface up test at their defaults.
void sampling_reset();

// Starts command through the shell in the C locale (for the child only),
// close-on-exec; an empty pointer when it cannot be started.
pipe_stream open_sampler_command(const char* command);
