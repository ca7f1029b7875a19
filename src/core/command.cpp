#include "core/command.h"

#include <cerrno>
#include <cstdio>
#include <sys/wait.h>

#include "base/child.h"

int run_command(const char* command_line)
{
    // In a process group of its own: a Ctrl-C meant for the program does not
    // cut an expiry command short, and the command can be signalled as one.
    const pid_t pid = shell_spawn_in_group(command_line);
    if (pid < 0)
        return -1;
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
        printf("コマンド起動失敗：%s\n", command_line);
        return false;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return true;
    if (WIFSIGNALED(status))
        printf("コマンド実行失敗：%s（シグナル %d で終了）\n", command_line, WTERMSIG(status));
    else
        printf("コマンド実行失敗：%s（終了ステータス %d）\n", command_line, WEXITSTATUS(status));
    return false;
}
