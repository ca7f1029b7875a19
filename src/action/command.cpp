#include "action/command.h"

#include <cstdio>
#include <sys/wait.h>

#include "base/child.h"
#include "base/journal.h"
#include "base/messages.h"

namespace {

int command_status(const child_outcome& outcome)
{
    switch (outcome.result) {
    case child_done: return outcome.status;
    case child_timed_out: return command_timed_out;
    case child_stopped: return command_stopped;
    default: return command_not_started;
    }
}

int run_shell(const char* command_line, int deadline_ms, bool stop_ends_wait)
{
    // What was printed so far comes before anything the command prints.
    (void)fflush(stdout);
    const shell_command shell(command_line);
    child_spec job = shell_job(shell, child_io_inherit, deadline_ms);
    job.stop_ends_wait = stop_ends_wait;
    return command_status(child_run(job));
}

}  // namespace

int run_command(const char* command_line)
{
    // In a process group of its own: a Ctrl-C meant for the program does not
    // cut an expiry command short, and the command can be signalled as one.
    return run_shell(command_line, 0, false);
}

int run_in_group(const char* command_line, int deadline_seconds)
{
    return run_shell(command_line, deadline_seconds * 1000, true);
}

int (*expiry_runner)(const char* command_line) = run_command;

bool command_report(const char* command_line, int status, int deadline_seconds)
{
    const char* const mark = journal_prefix(journal_error);
    if (status == command_stopped)
        return false;
    if (status == command_not_started) {
        printf(tr("%sコマンド起動失敗：%s\n"), mark, command_line);
        return false;
    }
    if (status == command_timed_out) {
        printf(tr("%sコマンド実行失敗：%s（%d 秒で打ち切り）\n"), mark, command_line, deadline_seconds);
        return false;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return true;
    if (WIFSIGNALED(status))
        printf(tr("%sコマンド実行失敗：%s（シグナル %d で終了）\n"), mark, command_line, WTERMSIG(status));
    else
        printf(tr("%sコマンド実行失敗：%s（終了ステータス %d）\n"), mark, command_line, WEXITSTATUS(status));
    return false;
}

bool run_reported(const char* command_line)
{
    (void)fflush(stdout);
    return command_report(command_line, expiry_runner(command_line), 0);
}
