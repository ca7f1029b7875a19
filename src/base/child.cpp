#include "base/child.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// Killed children not yet reaped: one blocked in the kernel (a driver that
// hangs, say) dies only when it leaves the kernel, and nobody waits for it
// meanwhile. Each later run reaps those that have ended.
std::vector<pid_t> lingering;

void reap_lingering()
{
    for (std::size_t i = 0; i < lingering.size();) {
        if (waitpid(lingering[i], nullptr, WNOHANG) != 0) {
            lingering[i] = lingering.back();
            lingering.pop_back();
        } else {
            i++;
        }
    }
}

// Reaps a killed child, waiting for it at most about grace_ms.
void reap_killed(pid_t pid, int grace_ms)
{
    for (int waited = 0;; waited += 5) {
        if (waitpid(pid, nullptr, WNOHANG) != 0)
            return;
        if (waited >= grace_ms) {
            lingering.push_back(pid);
            return;
        }
        usleep(5000);
    }
}

// The environment with the variables of env_set replaced or added.
std::vector<char*> child_environment(const char* const* env_set)
{
    std::vector<char*> env;
    for (char** e = environ; *e != nullptr; e++) {
        bool replaced = false;
        for (const char* const* s = env_set; *s != nullptr && !replaced; s++) {
            const std::size_t name = strcspn(*s, "=") + 1;  // the name and its '='
            replaced = strncmp(*e, *s, name) == 0;
        }
        if (!replaced)
            env.push_back(*e);
    }
    for (const char* const* s = env_set; *s != nullptr; s++)
        env.push_back(const_cast<char*>(*s));
    env.push_back(nullptr);
    return env;
}

// A new process group, an empty signal mask, and the default action for
// the signals that this program blocks, handles or ignores: a child must
// not inherit "ignore" for SIGPIPE, nor a mask left by a watcher start.
void child_attributes_set(posix_spawnattr_t& attr)
{
    sigset_t none;
    sigset_t defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (const int signo : {SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGCHLD})
        sigaddset(&defaults, signo);
    (void)posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    (void)posix_spawnattr_setpgroup(&attr, 0);
    (void)posix_spawnattr_setsigmask(&attr, &none);
    (void)posix_spawnattr_setsigdefault(&attr, &defaults);
}

// Starts the child with its standard output on out_write, in the child
// attributes above. Returns its pid, or -1.
pid_t child_spawn(const char* const* argv, const char* const* env_set, int out_write)
{
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out_write, STDOUT_FILENO);
    posix_spawnattr_init(&attr);
    child_attributes_set(attr);
    std::vector<char*> env = child_environment(env_set);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, &attr, const_cast<char* const*>(argv), env.data()) != 0)
        pid = -1;
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

long long now_ms()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// Whether the child has ended, without reaping it: until it is reaped its
// pid, and so its process group, cannot be taken by another process.
bool child_ended(pid_t pid)
{
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

// Reads what is waiting on fd into output. Returns false at the end of the
// output (or on a read error, which ends it as well).
bool take_output(int fd, std::string& output)
{
    const std::size_t old = output.size();
    output.resize(old + 65536);
    const ssize_t n = read(fd, &output[old], 65536);
    output.resize(old + (n > 0 ? static_cast<std::size_t>(n) : 0));
    return n > 0 || (n < 0 && (errno == EINTR || errno == EAGAIN));
}

// Waits for the end of the output and of the child within the limits.
child_result child_wait(pid_t pid, int out_read, const child_limits& limits, std::string& output)
{
#ifdef SYS_pidfd_open
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
    const int pidfd = -1;
#endif
    const long long deadline = now_ms() + limits.deadline_ms;
    bool open = true;
    bool ended = false;
    child_result result = child_done;
    while (open || !ended) {
        const long long left = deadline - now_ms();
        if (left <= 0) {
            result = child_timed_out;
            break;
        }
        pollfd fds[2] = {{out_read, POLLIN, 0}, {pidfd, POLLIN, 0}};
        const bool watch_pid = !ended && pidfd >= 0;
        pollfd* first = open ? fds : fds + 1;
        const nfds_t count = (open ? 1U : 0U) + (watch_pid ? 1U : 0U);
        // Without a pidfd the end of the child is looked for every 10 ms.
        const long long wait = pidfd < 0 && !ended ? (left < 10 ? left : 10) : left;
        if (poll(first, count, static_cast<int>(wait)) < 0 && errno != EINTR) {
            result = child_timed_out;
            break;
        }
        if (open && fds[0].revents != 0)
            open = take_output(out_read, output);
        if (output.size() > limits.output_cap) {
            result = child_too_much;
            break;
        }
        if (!ended && (pidfd < 0 || fds[1].revents != 0))
            ended = child_ended(pid);
    }
    if (pidfd >= 0)
        close(pidfd);
    return result;
}

}  // namespace

child_result child_capture(const char* const* argv, const char* const* env_set, const child_limits& limits,
                           std::string& output)
{
    output.clear();
    reap_lingering();
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return child_not_started;
    const pid_t pid = child_spawn(argv, env_set, fds[1]);
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return child_not_started;
    }
    const child_result result = child_wait(pid, fds[0], limits, output);
    close(fds[0]);
    if (result == child_done) {
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        return result;
    }
    kill(-pid, SIGKILL);  // the child and all that it started
    output.clear();
    reap_killed(pid, 200);
    return result;
}

pid_t shell_spawn_in_group(const char* command_line, bool quiet)
{
    posix_spawnattr_t attr;
    if (posix_spawnattr_init(&attr) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        (void)posix_spawnattr_destroy(&attr);
        return -1;
    }
    if (quiet) {
        (void)posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        (void)posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    child_attributes_set(attr);
    char sh[] = "/bin/sh";
    char dash_c[] = "-c";
    char* argv[] = {sh, dash_c, const_cast<char*>(command_line), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, sh, &actions, &attr, argv, environ) != 0)
        pid = -1;
    (void)posix_spawn_file_actions_destroy(&actions);
    (void)posix_spawnattr_destroy(&attr);
    return pid;
}

bool child_wait_deadline(pid_t pid, int deadline_ms, int& status)
{
    // A pidfd wakes at the child's end; without one (an old kernel), naps.
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    const long long deadline = now_ms() + deadline_ms;
    bool ended = true;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR) {
            status = -1;  // a child that cannot be followed
            break;
        }
        const long long left = deadline - now_ms();
        if (left <= 0) {
            ended = false;
            break;
        }
        pollfd pfd{pidfd, POLLIN, 0};
        if (pidfd < 0 || poll(&pfd, 1, static_cast<int>(left)) < 0)
            (void)usleep(10000);
    }
    if (pidfd >= 0)
        (void)close(pidfd);
    if (ended)
        return true;
    // The shell and whatever it started, then the shell's own end.
    (void)kill(-pid, SIGKILL);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return false;
}
