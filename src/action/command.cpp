#include "action/command.h"

#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/journal.h"
#include "report/report.h"

#include "base/child.h"

namespace {

// Keeps the service manager's watchdog content while the command runs: an
// expiry command may take longer than the watchdog period (a backup before
// the power-off), and a watchdog that fired would kill it with the program.
// Without a pidfd (an old kernel) the wait below simply blocks.
void wait_keeping_watchdog(pid_t pid)
{
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd < 0)
        return;
    struct pollfd ended = {pidfd, POLLIN, 0};
    int ready;
    while ((ready = poll(&ended, 1, report_watchdog_interval_ms())) == 0 || (ready < 0 && errno == EINTR))
        report_pass();
    (void)close(pidfd);
}

}  // namespace

int run_command(const char* command_line)
{
    // In a process group of its own: a Ctrl-C meant for the program does not
    // cut an expiry command short, and the command can be signalled as one.
    const pid_t pid = shell_spawn_in_group(command_line);
    if (pid < 0)
        return -1;
    wait_keeping_watchdog(pid);
    int status;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return status;
}

int (*expiry_runner)(const char* command_line) = run_command;

bool run_reported(const char* command_line)
{
    // What was printed so far comes before anything the command prints.
    (void)fflush(stdout);
    const int status = expiry_runner(command_line);
    if (status == -1) {
        printf("%sコマンド起動失敗：%s\n", journal_prefix(journal_error), command_line);
        return false;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return true;
    if (WIFSIGNALED(status))
        printf("%sコマンド実行失敗：%s（シグナル %d で終了）\n",
               journal_prefix(journal_error), command_line, WTERMSIG(status));
    else
        printf("%sコマンド実行失敗：%s（終了ステータス %d）\n",
               journal_prefix(journal_error), command_line, WEXITSTATUS(status));
    return false;
}
