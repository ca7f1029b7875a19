// Commands that the program runs for its user: the expiry command and the
// notice command, run through /bin/sh -c by the child runner, and the one
// report of how such a command ended.
#pragma once

// Results of a runner besides a wait status.
constexpr int command_not_started = -1;
constexpr int command_timed_out = -2;  // killed with its group at its deadline
constexpr int command_stopped = -3;    // killed with its group at a stop request

// Runs command_line with /bin/sh -c, in the program's own environment and
// streams and in a process group of its own, and waits for it however long
// it runs, keeping the service manager's watchdog; a stop request does not
// cut it short. Returns the wait status, or command_not_started.
int run_command(const char* command_line);

// Runs command_line as run_command does, but for at most deadline_seconds,
// and ended early by a stop request. Returns the wait status or one of the
// results above.
int run_in_group(const char* command_line, int deadline_seconds);

// The runner used for the expiry commands; tests replace it with a recorder.
extern int (*expiry_runner)(const char* command_line);

// Reports on standard output, at the journal's error priority, a command
// that could not be started, ran past its deadline_seconds or did not end
// with status 0; a stopped command is not reported. Returns true on status 0.
bool command_report(const char* command_line, int status, int deadline_seconds);

// Runs command_line with expiry_runner and reports it. Returns true on success.
bool run_reported(const char* command_line);
