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

// A switched-on source as the last check left it.
struct source_state {
    const char* kind;
    bool up;    // it answered
    bool busy;  // it made the check busy
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
    std::vector<reason> busy_reasons;  // of the last busy check
    uint64_t expiries;
    std::vector<source_state> sources;  // in the order of the source table
    wake_plan wake;                     // of the last check
};

struct report_state_record {
    status_record status;
    std::vector<growth_item> growth;  // of the last check, as the counters gave it
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
// An expiry action ran (called before the check is reported).
void report_expiry();
// A check ended with idle_seconds counted: updates the record and rewrites
// the status and metrics files and the service manager's status line.
void report_check(activity_check check, int idle_seconds, time_t now);
// One pass of the loop: keeps the service manager's watchdog content.
void report_pass();
// Watching ends normally: the status file says "ended".
void report_end();
