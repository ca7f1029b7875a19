// A command as activity: settings.busy_check runs through /bin/sh -c at
// every check, in a process group of its own, and exit status 0 makes the
// check busy. A command that cannot start (also the shell's 126 and 127),
// that is still running at the deadline (its whole group is then killed)
// or that ends by a signal cannot answer, which counts as busy too. Whatever
// it left running in its group is killed when it ends.
#pragma once

#include "base/activity.h"
#include "base/source_table.h"

constexpr int busy_check_deadline_ms_default = 10000;
extern int busy_check_deadline_ms;

// How one run of a check command ended.
enum check_outcome {
    check_exited,     // status holds the exit status
    check_no_start,   // could not be started
    check_timed_out,  // killed with its group at the deadline
    check_signalled,  // ended by a signal
    check_stopped,    // killed with its group at a stop request
};

struct check_result {
    check_outcome outcome;
    int status;
};

// Runs command through /bin/sh -c in its own process group, standard input
// and output on /dev/null, standard error shared; waits at most
// busy_check_deadline_ms, or until a stop request.
check_result run_check_command(const char* command);

// Busy with "(確認コマンド)" and "check:0" on exit status 0; off while the
// command is empty.
void busy_command_check(activity_check& check);
extern source_health busy_check_health;

// Puts the deadline back and forgets a failure.
void busy_command_reset();
