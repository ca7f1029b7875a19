// The one runner of child processes: every command the program starts (the
// expiry command, the notice, the check command, the samplers' commands and
// the tools the sources ask) runs through child_run. A child starts in a
// process group of its own, with an empty signal mask and the default action
// for every signal, and is bounded in time and in output; a child that is
// cut short is killed with everything it started, and no wait for it is
// ever unbounded.
#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

enum child_result {
    child_done,         // ended (and closed its output) within the limits
    child_not_started,  // no such program, or no process or pipe to be had
    child_timed_out,    // still running, or its output still open, at the deadline
    child_too_much,     // wrote more than the output cap
    child_stopped,      // a stop request ended the wait
};

// Where the child's standard streams go.
enum child_io {
    child_io_capture,  // standard output into the caller's string; input and error shared
    child_io_quiet,    // standard input and output on /dev/null; error shared
    child_io_inherit,  // the program's own streams
};

struct child_spec {
    const char* const* argv;               // argv[0] is looked up on PATH
    const char* const* env_set = nullptr;  // "NAME=value" replacing or adding, null-terminated
    child_io io = child_io_capture;
    int deadline_ms = 0;                   // from the start until it ended and closed its output; 0: none
    std::size_t output_cap = 0;            // child_io_capture: bytes of standard output at most
    bool stop_ends_wait = true;            // false: a stop request does not cut it short
    bool kill_leftovers = false;           // once it ended, kill what is still running in its group
};

struct child_outcome {
    child_result result = child_not_started;
    int status = 0;  // the wait status, when done
};

// Runs the child as job says and waits for it; output (child_io_capture)
// receives its standard output, and is empty unless it is done. While it
// waits, the service manager's watchdog is kept. A child cut short is killed
// with its whole process group and waited for at most child_reap_grace_ms;
// one that has not ended by then (asleep in the kernel on a hung mount) is
// named in one line and reaped by a later run.
child_outcome child_run(const child_spec& job, std::string* output = nullptr);

// argv of /bin/sh -c command_line.
struct shell_command {
    const char* argv[4];
    explicit shell_command(const char* command_line) : argv{"/bin/sh", "-c", command_line, nullptr} {}
};

// A run of shell's command line with its streams as io, for at most
// deadline_ms (0: no limit); shell must outlive the run.
inline child_spec shell_job(const shell_command& shell, child_io io, int deadline_ms)
{
    child_spec job;
    job.argv = shell.argv;
    job.io = io;
    job.deadline_ms = deadline_ms;
    return job;
}

// How long a killed child is waited for.
constexpr int child_reap_grace_ms_default = 1000;
extern int child_reap_grace_ms;
// Sends a signal to a process group (kill); tests stand in a child that
// does not die.
extern int (*child_kill)(pid_t pgid, int signo);
// Puts the seams back; the children left to be reaped are killed and reaped.
void child_reset();

// The older capture call, kept for the samplers: limits of a captured run.
struct child_limits {
    int deadline_ms;
    std::size_t output_cap;
};
// child_run with child_io_capture.
child_result child_capture(const char* const* argv, const char* const* env_set, const child_limits& limits,
                           std::string& output);
