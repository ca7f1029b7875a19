// CPU load as activity: the share of non-idle CPU time since the previous
// check, from the first line of /proc/stat, above settings.cpu_threshold
// percent makes the check busy.
#pragma once

#include <cstdint>
#include <cstdio>

#include "base/activity.h"
#include "base/source_table.h"

constexpr const char* proc_stat_path_default = "/proc/stat";
extern const char* proc_stat_path;

// The whole machine's CPU time in clock ticks: all of it, and the part
// spent idle or waiting for I/O.
struct cpu_times {
    uint64_t total;
    uint64_t idle;
};

// Reads the "cpu " line of a /proc/stat stream. Returns false when there
// is none or it holds fewer than four numbers.
bool parse_proc_stat(FILE* in, cpu_times& times);

// Busy with "(CPU使用率閾値以上)" and "cpu:PERCENT" when the share since
// the previous check is above the threshold. The first check after the
// start only takes the reading it compares with. Off at threshold 0.
void cpu_check(activity_check& check);
extern source_health cpu_health;

// Puts proc_stat_path back and forgets the previous reading and a failure.
void cpu_reset();
