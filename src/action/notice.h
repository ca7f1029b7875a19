// A notice before the expiry action: a line and a command once the idle time
// comes within the notice time of the expiry time, and a line when a busy
// check calls the action off again.
#pragma once

#include "action/command.h"

// Seconds the notice command may run before its process group is killed.
constexpr int notice_deadline_seconds = 10;
// Result of run_notice_command for a command killed at the deadline.
constexpr int notice_timed_out = command_timed_out;

// run_in_group with notice_deadline_seconds.
int run_notice_command(const char* command_line);

// The runner used for the notice command; tests replace it with a recorder.
extern int (*notice_runner)(const char* command_line);

// Runs command_line with notice_runner and reports on standard output, as
// the expiry command is reported, when it could not be started, ran past
// its deadline or did not end with status 0. Returns true on success.
bool notice_run_reported(const char* command_line);

enum notice_event : int {
    notice_none,        // nothing printed or run
    notice_given,       // the notice line was printed and the command run
    notice_called_off,  // the call-off line was printed
};

// The notice step of one check, called after the verdict and before any
// expiry action. busy is the verdict, idle_seconds the idle time after the
// check. standing says whether a notice stands; the caller keeps it between
// checks and clears it after each expiry action. With notice_time 0 nothing
// happens. A notice is given at the first idle check that reaches
// exfire_time - notice_time (also when that check expires at once); a
// standing notice is called off by a busy check or an idle time that fell
// back below that point.
notice_event notice_after_check(bool busy, int idle_seconds, bool& standing);

// Puts the notice runner back to the real one.
void notice_reset();
