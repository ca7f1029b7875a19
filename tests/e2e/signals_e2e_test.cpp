// End-to-end runs of the built binary that signal it or close its output
// while it watches. Every run has a harmless "-c" and nothing on its PATH
// but stand-ins for the commands that power a machine off.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "support/test_support.h"

namespace {

// One run of the binary with its standard output and error on a pipe; one
// simulated second lasts sleep_ms milliseconds. With closed, it starts with
// standard input and output closed; the signal ignored (if any) it starts
// with ignored, the other stop signals at their defaults.
struct watched_run {
    temp_dir stand_ins;
    pid_t pid = -1;
    int output = -1;
    std::string text;

    watched_run(std::vector<std::string> argv, const std::string& sleep_ms, bool closed = false, int ignored = 0)
    {
        for (const char* name : {"shutdown", "poweroff", "reboot", "halt", "sync"})
            write_script(stand_ins, name, "echo fake\n");
        std::vector<std::string> env = {"PATH=" + stand_ins.path, std::string("LD_PRELOAD=") + LW_FAST_SLEEP,
                                        "LW_SLEEP_MS=" + sleep_ms,
                                        "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0"};
        argv.insert(argv.begin(), LW_BINARY);
        std::vector<char*> a, e;
        for (auto& s : argv)
            a.push_back(s.data());
        for (auto& s : env)
            e.push_back(s.data());
        a.push_back(nullptr);
        e.push_back(nullptr);
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return;
        pid = fork();
        if (pid == 0) {
            dup2(fds[1], STDOUT_FILENO);
            dup2(fds[1], STDERR_FILENO);
            setpgid(0, 0);
            for (const int signo : {SIGTERM, SIGINT, SIGHUP, SIGPIPE})
                signal(signo, signo == ignored ? SIG_IGN : SIG_DFL);
            if (closed) {
                close(STDIN_FILENO);
                close(STDOUT_FILENO);
            }
            execve(a[0], a.data(), e.data());
            _exit(127);
        }
        close(fds[1]);
        output = fds[0];
    }
    ~watched_run()
    {
        close(output);
        if (pid > 0)
            kill(-pid, SIGKILL);
        exit_status();
    }
    // Reads until the output holds want (with want empty: until it ends);
    // false when 20 s pass first.
    bool read_until(const std::string& want)
    {
        char buf[4096];
        while (want.empty() || text.find(want) == std::string::npos) {
            pollfd pfd{output, POLLIN, 0};
            if (poll(&pfd, 1, 20000) <= 0)
                return false;
            const ssize_t n = read(output, buf, sizeof buf);
            if (n <= 0)
                return want.empty();
            text.append(buf, static_cast<size_t>(n));
        }
        return true;
    }
    // The exit status, or -1 when a signal ended the run.
    int exit_status()
    {
        int status = 0;
        if (pid <= 0 || waitpid(pid, &status, 0) != pid)
            return -1;
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST(SignalsE2E, EachStopSignalEndsTheRunWithItsLineAndStatus0)
{
#if defined(__SANITIZE_THREAD__)
    // The ThreadSanitizer runtime defers asynchronous signals to its own
    // points of delivery, and a signal sent during the hour-long wait is at
    // times not delivered until it ends; the other builds run this test.
    GTEST_SKIP() << "signal delivery is deferred under ThreadSanitizer";
#endif
    // Passes of an hour, really an hour each: only the signal can end the
    // sleep that follows the first check.
    const std::vector<std::string> args = {"-c", "true", "-ex", "60", "-ci", "3600", "-di", "3600",
                                           "-rx", "0", "-r", "0", "-w", "0"};
    const std::string first_check =
        "\n監視開始\n\t満了時間：60 分、表示間隔：3600 秒、判定間隔：3600 秒\n\n継続時間：0分\n";
    const struct {
        int ignored;
        std::vector<int> sent;
        const char* named;
    } cases[] = {
        {0, {SIGTERM}, "SIGTERM"},
        {0, {SIGINT}, "SIGINT"},
        {0, {SIGHUP}, "SIGHUP"},
        {SIGHUP, {SIGHUP, SIGTERM}, "SIGTERM"},  // ignored from the start (nohup): stays ignored
    };
    for (const auto& c : cases) {
        watched_run run(args, "1000", false, c.ignored);
        ASSERT_TRUE(run.read_until(first_check)) << run.text;
        for (const int signo : c.sent)
            kill(run.pid, signo);
        EXPECT_TRUE(run.read_until("")) << run.text;
        EXPECT_EQ(run.text, first_check + "\n監視終了（シグナル " + c.named + " を受信）\n");
        EXPECT_EQ(run.exit_status(), 0) << c.named;
    }
}

// A stop request cuts a check command short within about a second, and a
// check cut short decides nothing: no expiry action follows it, also when
// that check would have expired.
TEST(SignalsE2E, StopDuringACheckCommandEndsAtOnceWithoutAnExpiry)
{
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "signal delivery is deferred under ThreadSanitizer";
#endif
    for (const char* expiry : {"1", "10"}) {
        watched_run run({"-c", "echo FIRED", "-ex", expiry, "-ci", "60", "-di", "60", "-rx", "0", "-r", "0", "-w",
                         "0", "-bc", "echo CHECKING >&2; unset LD_PRELOAD; exec /bin/sleep 30"},
                        "20");
        ASSERT_TRUE(run.read_until("CHECKING")) << run.text;
        const auto signalled = std::chrono::steady_clock::now();
        kill(run.pid, SIGTERM);
        EXPECT_TRUE(run.read_until("")) << run.text;
        EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(2)) << expiry;
        EXPECT_EQ(run.text.find("FIRED"), std::string::npos) << run.text;
        EXPECT_EQ(run.text.find("監視満了"), std::string::npos) << run.text;
        EXPECT_NE(run.text.find("\n監視終了（シグナル SIGTERM を受信）\n"), std::string::npos) << run.text;
        EXPECT_EQ(run.exit_status(), 0) << expiry;
    }
}

TEST(SignalsE2E, ClosedOutputDoesNotStopTheWatching)
{
    // Output closed by its reader once watching has started, and output
    // closed from the start (no descriptor opened later may take its place).
    for (const bool from_start : {false, true}) {
        temp_dir dir;
        const std::string mark = dir.path + "/expired";
        watched_run run({"-c", "echo expired > " + mark, "-n", "-ex", "1", "-ci", "10", "-di", "10",
                         "-rx", "0", "-r", "0", "-w", "0"},
                        "20", from_start);
        if (!from_start) {
            ASSERT_TRUE(run.read_until("\n監視開始\n")) << run.text;
        }
        close(run.output);
        run.output = -1;
        EXPECT_EQ(run.exit_status(), 0) << from_start;
        std::ifstream in(mark);
        std::string line;
        EXPECT_TRUE(std::getline(in, line) && line == "expired") << from_start;
    }
}

}  // namespace
