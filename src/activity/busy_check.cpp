#include "activity/busy_check.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "activity/source_report.h"
#include "base/settings.h"

extern char** environ;

int busy_check_deadline_ms = busy_check_deadline_ms_default;

namespace {

source_health check_health;

// The shell's own statuses for a command it could not find or run.
constexpr int shell_not_found = 127;
constexpr int shell_not_executable = 126;

// Starts the shell in a new process group; -1 when it cannot start.
pid_t spawn_in_group(const char* command)
{
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return -1;
    (void)posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    (void)posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    (void)posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    (void)posix_spawnattr_setsigmask(&attr, &none);
    (void)posix_spawnattr_setpgroup(&attr, 0);
    (void)posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
    char sh[] = "/bin/sh", dash_c[] = "-c";
    std::string text(command);
    char* argv[] = {sh, dash_c, text.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, sh, &actions, &attr, argv, environ) != 0)
        pid = -1;
    (void)posix_spawnattr_destroy(&attr);
    (void)posix_spawn_file_actions_destroy(&actions);
    return pid;
}

long long now_ms()
{
    timespec ts{};
    (void)clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Waits for pid until the deadline: true with its wait status once it
// ended. A pidfd wakes at the child's end; without one, short naps.
bool wait_until(pid_t pid, long long deadline, int& status)
{
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR))
            break;
        const long long left = deadline - now_ms();
        if (left <= 0) {
            if (pidfd >= 0)
                (void)close(pidfd);
            return false;
        }
        pollfd pfd{pidfd, POLLIN, 0};
        if (pidfd < 0 || poll(&pfd, 1, static_cast<int>(left)) < 0)
            (void)usleep(10000);
    }
    if (pidfd >= 0)
        (void)close(pidfd);
    return true;
}

}  // namespace

check_result run_check_command(const char* command)
{
    const pid_t pid = spawn_in_group(command);
    if (pid < 0)
        return {check_no_start, 0};
    int status = 0;
    if (!wait_until(pid, now_ms() + busy_check_deadline_ms, status)) {
        // The shell and whatever it started, then the shell's own end.
        (void)kill(-pid, SIGKILL);
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return {check_timed_out, 0};
    }
    if (WIFSIGNALED(status))
        return {check_signalled, WTERMSIG(status)};
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 0;
    if (code == shell_not_found || code == shell_not_executable)
        return {check_no_start, code};
    return {check_exited, code};
}

void busy_command_check(activity_check& check)
{
    if (settings.busy_check[0] == '\0')
        return;
    const std::string what = std::string("確認コマンド（") + settings.busy_check + "）";
    const check_result result = run_check_command(settings.busy_check);
    if (result.outcome != check_exited) {
        source_failed(check, check_health, "check", what.c_str());
        return;
    }
    source_answered(check_health, what.c_str());
    if (result.status != 0)
        return;
    check.busy = true;
    activity_add_reason(check, "check:0");
    activity_append_once(check, "(確認コマンド)");
}

void busy_command_reset()
{
    busy_check_deadline_ms = busy_check_deadline_ms_default;
    check_health = {};
}
