// Named processes as activity: every process whose name (/proc/PID/comm)
// or the base name of whose first argument matches one of the patterns of
// settings.busy_processes makes the check busy.
#pragma once

#include "base/activity.h"
#include "base/source_table.h"

constexpr const char* proc_root_default = "/proc";
extern const char* proc_root;  // where the process directories are read

// Busy with "(プロセス実行中)" and "process:NAME" per matching name; off
// while the list is empty.
void process_check(activity_check& check);
extern source_health process_health;

// Puts proc_root back and forgets a failure.
void process_reset();
