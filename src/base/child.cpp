#include "base/child.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <initializer_list>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "base/journal.h"
#include "base/messages.h"
#include "base/stop.h"
#include "base/watchdog.h"

extern char** environ;

int child_reap_grace_ms = child_reap_grace_ms_default;
int (*child_kill)(pid_t pgid, int signo) = kill;

namespace {

// Killed children not yet reaped: one blocked in the kernel (a hung NFS
// mount, a driver that hangs) dies only when it leaves the kernel, and
// nobody waits for it meanwhile. Each later run reaps those that have ended.
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

// Kills the child's whole group and reaps the child, waiting for it at most
// child_reap_grace_ms; one that has not ended by then is left to a later run.
void kill_and_reap(pid_t pid)
{
    (void)child_kill(-pid, SIGKILL);
    for (int waited = 0;; waited += 5) {
        if (waitpid(pid, nullptr, WNOHANG) != 0)
            return;
        if (waited >= child_reap_grace_ms) {
            printf(tr("%s警告：打ち切ったコマンド（pid %d）が終了しません。終了を待たずに続けます。\n"),
                   journal_prefix(journal_warning), static_cast<int>(pid));
            (void)fflush(stdout);
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

// Starts the child with its streams as job.io says (standard output on
// out_write when captured). Returns its pid, or -1.
pid_t child_spawn(const child_spec& job, int out_write)
{
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return -1;
    if (posix_spawnattr_init(&attr) != 0) {
        (void)posix_spawn_file_actions_destroy(&actions);
        return -1;
    }
    if (job.io == child_io_capture) {
        (void)posix_spawn_file_actions_adddup2(&actions, out_write, STDOUT_FILENO);
    } else if (job.io == child_io_quiet) {
        (void)posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        (void)posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    child_attributes_set(attr);
    std::vector<char*> env;
    if (job.env_set != nullptr)
        env = child_environment(job.env_set);
    pid_t pid = -1;
    if (posix_spawnp(&pid, job.argv[0], &actions, &attr, const_cast<char* const*>(job.argv),
                     job.env_set != nullptr ? env.data() : environ) != 0)
        pid = -1;
    (void)posix_spawnattr_destroy(&attr);
    (void)posix_spawn_file_actions_destroy(&actions);
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

// Waits until the child has ended and its output (out_read, -1 when not
// captured) is closed, within the limits of job.
child_result child_wait(pid_t pid, int out_read, const child_spec& job, std::string& output)
{
    // A pidfd wakes at the child's end; without one (an old kernel), naps.
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    const int stop_fd = job.stop_ends_wait ? stop_wake_fd() : -1;
    const long long deadline = job.deadline_ms > 0 ? now_ms() + job.deadline_ms : 0;
    long long kept = now_ms();
    bool open = out_read >= 0;
    bool ended = false;
    child_result result = child_done;
    while (open || !ended) {
        if (job.stop_ends_wait && stop_requested()) {
            result = child_stopped;
            break;
        }
        const long long now = now_ms();
        if (now - kept >= watchdog_interval_ms()) {
            watchdog_keep();  // an expiry command may run longer than the watchdog's period
            kept = now;
        }
        long long wait = watchdog_interval_ms();
        if (deadline != 0) {
            if (deadline - now <= 0) {
                result = child_timed_out;
                break;
            }
            wait = deadline - now < wait ? deadline - now : wait;
        }
        if (pidfd < 0 && !ended && wait > 10)
            wait = 10;
        pollfd fds[3];
        nfds_t count = 0;
        const int out_at = open ? static_cast<int>(count++) : -1;
        if (open)
            fds[out_at] = {out_read, POLLIN, 0};
        const int pid_at = !ended && pidfd >= 0 ? static_cast<int>(count++) : -1;
        if (pid_at >= 0)
            fds[pid_at] = {pidfd, POLLIN, 0};
        if (stop_fd >= 0)
            fds[count++] = {stop_fd, POLLIN, 0};
        if (poll(fds, count, static_cast<int>(wait)) < 0 && errno != EINTR) {
            result = child_timed_out;
            break;
        }
        if (out_at >= 0 && fds[out_at].revents != 0)
            open = take_output(out_read, output);
        if (job.io == child_io_capture && output.size() > job.output_cap) {
            result = child_too_much;
            break;
        }
        if (!ended && (pid_at < 0 || fds[pid_at].revents != 0))
            ended = child_ended(pid);
    }
    if (pidfd >= 0)
        (void)close(pidfd);
    return result;
}

}  // namespace

child_outcome child_run(const child_spec& job, std::string* output)
{
    std::string ignored;
    std::string& out = output != nullptr ? *output : ignored;
    out.clear();
    reap_lingering();
    child_outcome outcome;
    int fds[2] = {-1, -1};
    if (job.io == child_io_capture && pipe2(fds, O_CLOEXEC) != 0)
        return outcome;
    const pid_t pid = child_spawn(job, fds[1]);
    if (fds[1] >= 0)
        (void)close(fds[1]);
    if (pid < 0) {
        if (fds[0] >= 0)
            (void)close(fds[0]);
        return outcome;
    }
    outcome.result = child_wait(pid, fds[0], job, out);
    if (fds[0] >= 0)
        (void)close(fds[0]);
    if (outcome.result != child_done) {
        out.clear();
        kill_and_reap(pid);
        return outcome;
    }
    // The leader has ended but is not reaped yet, so its group cannot have
    // been taken over: what it left running is killed.
    if (job.kill_leftovers)
        (void)child_kill(-pid, SIGKILL);
    while (waitpid(pid, &outcome.status, 0) < 0 && errno == EINTR) {
    }
    return outcome;
}

void child_reset()
{
    for (const pid_t pid : lingering) {
        (void)kill(-pid, SIGKILL);
        (void)waitpid(pid, nullptr, 0);
    }
    lingering.clear();
    child_reap_grace_ms = child_reap_grace_ms_default;
    child_kill = kill;
}

child_result child_capture(const char* const* argv, const char* const* env_set, const child_limits& limits,
                           std::string& output)
{
    child_spec job;
    job.argv = argv;
    job.env_set = env_set;
    job.deadline_ms = limits.deadline_ms;
    job.output_cap = limits.output_cap;
    return child_run(job, &output).result;
}
