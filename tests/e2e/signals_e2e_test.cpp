// End-to-end runs of the built binary that signal it or close its output
// while it watches. Every run has a harmless "-c" and nothing on its PATH
// but stand-ins for the commands that power a machine off.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "support/test_support.h"

extern char** environ;

namespace {

// One run of the binary, its standard output and error on a pipe.
struct watched_run {
    pid_t pid = -1;
    int output = -1;
    std::string text;

    // Starts the binary; one simulated second lasts sleep_ms milliseconds.
    // With closed, it starts with standard input and output closed; the
    // signal ignored (if any) it starts with ignored, all others default.
    watched_run(const std::vector<std::string>& args, const std::string& sleep_ms, bool closed = false,
                int ignored = 0)
    {
        for (const char* name : {"shutdown", "poweroff", "reboot", "halt", "sync"})
            write_script(stand_ins, name, "echo fake\n");
        const std::vector<std::string> own = {"PATH=" + stand_ins.path, std::string("LD_PRELOAD=") + LW_FAST_SLEEP,
                                              "LW_SLEEP_MS=" + sleep_ms,
                                              "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0"};
        std::vector<std::string> env = own;
        for (char** e = environ; *e != nullptr; e++) {
            const char* eq = strchr(*e, '=');
            bool replaced = false;
            for (const auto& o : own)
                replaced = replaced || (eq != nullptr && o.compare(0, static_cast<size_t>(eq - *e + 1), *e,
                                                                   static_cast<size_t>(eq - *e + 1)) == 0);
            if (!replaced)
                env.push_back(*e);
        }
        std::vector<std::string> argv{LW_BINARY};
        argv.insert(argv.end(), args.begin(), args.end());
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
            std::vector<char*> a, e;
            for (auto& s : argv)
                a.push_back(s.data());
            for (auto& s : env)
                e.push_back(s.data());
            a.push_back(nullptr);
            e.push_back(nullptr);
            execve(a[0], a.data(), e.data());
            _exit(127);
        }
        close(fds[1]);
        output = fds[0];
    }
    ~watched_run()
    {
        close_output();
        if (pid > 0) {
            kill(-pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    void close_output()
    {
        if (output >= 0)
            close(output);
        output = -1;
    }
    // Reads until the output holds want (or, with want empty, until it
    // ends); false when 20 s pass first.
    bool read_until(const std::string& want)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (want.empty() || text.find(want) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now()).count();
            pollfd pfd{output, POLLIN, 0};
            if (left <= 0 || poll(&pfd, 1, static_cast<int>(left)) <= 0)
                return false;
            char buf[4096];
            const ssize_t n = read(output, buf, sizeof buf);
            if (n <= 0)
                return want.empty();
            text.append(buf, static_cast<size_t>(n));
        }
        return true;
    }
    // The exit status, or -1 when the run did not end within 20 s or was
    // ended by a signal.
    int exit_status()
    {
        for (int i = 0; i < 2000; i++) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            usleep(10000);
        }
        return -1;
    }
    temp_dir stand_ins;
};

TEST(SignalsE2E, EachStopSignalEndsTheRunWithItsLineAndStatus0)
{
    // Hour-long passes, really an hour each: only the signal can end the
    // sleep that follows the first check.
    const std::vector<std::string> args = {"-c", "true", "-ex", "60", "-ci", "3600", "-di", "3600",
                                           "-rx", "0", "-r", "0", "-w", "0"};
    const std::string first_check =
        "\n監視開始\n\t満了時間：60 分、表示間隔：3600 秒、判定間隔：3600 秒\n\n継続時間：0分\n";
    for (const auto& sig : {std::make_pair(SIGTERM, "SIGTERM"), std::make_pair(SIGINT, "SIGINT"),
                            std::make_pair(SIGHUP, "SIGHUP")}) {
        watched_run run(args, "1000");
        ASSERT_TRUE(run.read_until(first_check)) << run.text;
        kill(run.pid, sig.first);
        EXPECT_TRUE(run.read_until("")) << run.text;
        EXPECT_EQ(run.text, first_check + "\n監視終了（シグナル " + sig.second + " を受信）\n");
        EXPECT_EQ(run.exit_status(), 0) << sig.second;
    }
    // A signal ignored from the start (nohup) stays ignored.
    watched_run run(args, "1000", false, SIGHUP);
    ASSERT_TRUE(run.read_until(first_check)) << run.text;
    kill(run.pid, SIGHUP);
    kill(run.pid, SIGTERM);
    EXPECT_TRUE(run.read_until("")) << run.text;
    EXPECT_EQ(run.text, first_check + "\n監視終了（シグナル SIGTERM を受信）\n");
    EXPECT_EQ(run.exit_status(), 0);
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
        run.close_output();
        EXPECT_EQ(run.exit_status(), 0) << from_start;
        std::ifstream in(mark);
        std::string line;
        EXPECT_TRUE(std::getline(in, line)) << from_start;
        EXPECT_EQ(line, "expired");
    }
}

}  // namespace
