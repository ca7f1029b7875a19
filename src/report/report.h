// What the program tells about itself while it watches: the status file,
// the metrics file and the service manager's status, all fed from one
// process-wide record that the watch loop updates at start, after every
// check and at the end.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <sys/types.h>
#include <vector>

#include "base/activity.h"

// One record's growth in the check period that just ended, beside the
// threshold it is compared with.
struct growth_item {
    const char* kind;       // "net" or "disk"
    std::string name;       // interface or disk name, as read
    const char* direction;  // "rx", "tx", "read" or "write"
    const char* unit;       // "bytes" or "kilobytes"
    uint64_t growth;
    uint64_t threshold;     // 0: that direction is not watched
};

// The run as the status file shows it.
struct status_record {
    pid_t pid;
    int64_t started;        // Unix seconds
    bool ended;             // "ended" is written just before a normal end
    int idle_seconds;
    uint64_t checks;
    int64_t last_check;     // 0 before the first check
    const char* last_verdict;  // "none", "busy" or "idle"
    int64_t last_busy;      // 0 while no check was busy
    std::vector<std::string> busy_reasons;  // tokens of the last busy check
    uint64_t expiries;
};

struct report_state_record {
    status_record status;
    std::vector<growth_item> growth;  // taken before the last check
    bool status_failing;   // the status file's warning has been printed
    bool metrics_failing;  // the metrics file's warning has been printed
};

extern report_state_record report_state;

// Where the processes are looked up by pid ("/proc"); tests point it at a
// directory of their own.
constexpr const char* report_proc_path_default = "/proc";
extern const char* report_proc_path;

// Puts the record, the warnings and the seam back to their start state.
void report_reset();

// Watching begins: starts the record, writes the status file, tells the
// service manager that the program is ready, and prints the watchdog
// warning when its period is too short for the display interval.
void report_start(time_t now);
// Takes every sampled record's growth; called at a check before the
// sources clear it.
void report_take_growth();
// Adds "net:..." and "disk:..." tokens for each taken growth over its
// threshold to check.
void report_add_growth_reasons(activity_check& check);
// An expiry action ran (called before the check is reported).
void report_expiry();
// A check ended with idle_seconds counted: updates the record and rewrites
// the status and metrics files and the service manager's status line.
void report_check(const activity_check& check, int idle_seconds, time_t now);
// One pass of the loop: keeps the service manager's watchdog content.
void report_pass();
// Watching ends normally: the status file says "ended".
void report_end();
