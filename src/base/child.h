// Child processes whose output is taken whole: started without a shell (or
// with one when the caller asks for /bin/sh -c), in a process group of their
// own so that everything they start can be stopped with them, and bounded
// in time and in output.
#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

enum child_result {
    child_done,         // ended and closed its output within the limits
    child_not_started,  // no such program, or no process or pipe to be had
    child_timed_out,    // still running, or its output still open, at the deadline
    child_too_much,     // wrote more than the output cap
};

struct child_limits {
    int deadline_ms;         // from the start until it has ended and closed its output
    std::size_t output_cap;  // bytes of standard output
};

// Runs argv[0] (looked up on PATH) with argv and the process's environment,
// in which each "NAME=value" of env_set (ending with a null pointer)
// replaces or adds that variable. Standard output is taken into output;
// standard input and error are the process's own. A child that is not done
// within the limits is killed with its whole process group and reaped, and
// output is then empty.
child_result child_capture(const char* const* argv, const char* const* env_set, const child_limits& limits,
                           std::string& output);

// Starts /bin/sh -c command_line with the process's standard streams and
// environment, as leader of a new process group, with an empty signal mask
// and the default action for every signal that this program blocks,
// handles or ignores. With quiet, its standard input and output are
// /dev/null instead. Returns its pid, or -1.
pid_t shell_spawn_in_group(const char* command_line, bool quiet = false);

// Waits for the child pid until deadline_ms have passed. True with its wait
// status once it ended (-1 when it cannot be waited for); false when the deadline came first, after its whole
// process group was killed and the child reaped.
bool child_wait_deadline(pid_t pid, int deadline_ms, int& status);
