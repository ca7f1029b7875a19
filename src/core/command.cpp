#include "core/command.h"

#include <cerrno>
#include <cstdio>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

int run_command(const char* command_line)
{
    char sh[] = "/bin/sh";
    char dash_c[] = "-c";
    char* argv[] = {sh, dash_c, const_cast<char*>(command_line), nullptr};
    pid_t pid;
    if (posix_spawn(&pid, sh, nullptr, nullptr, argv, environ) != 0)
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
