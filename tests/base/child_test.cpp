// Children bounded in time and output: one that misbehaves in any way is
// killed with everything it started, its output is dropped, and nothing of
// it is left running.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>

#include "base/child.h"
#include "support/process_check.h"
#include "support/test_support.h"

namespace {

TEST(ChildCapture, MisbehavingChildrenAreKilledWithAllTheyStarted)
{
    const temp_dir dir;
    const std::string pids = dir.path + "/pids";
    // Each script lists its own pid and its background child's in the file.
    const std::string note = "echo $$ >> " + pids + "; ";
    const std::string keep = "sleep 30 & echo $! >> " + pids + "; ";
    const struct {
        std::string script;
        child_result result;
        std::string output;
    } cases[] = {
        {note + "printf 'a\\nb'", child_done, "a\nb"},
        {note + keep + "wait", child_timed_out, ""},
        {note + keep + "printf 'eth0: flags\\n'; wait", child_timed_out, ""},  // output held open
        {note + "exec >&-; " + keep + "wait", child_timed_out, ""},           // output closed, still running
        {note + keep + "printf x", child_timed_out, ""},                      // ended, a child holds the output
        {note + "exec yes 'lo: flags=73<UP>'", child_too_much, ""},
    };
    for (const auto& c : cases) {
        const char* const argv[] = {"/bin/sh", "-c", c.script.c_str(), nullptr};
        const char* const env[] = {nullptr};
        std::string output = "stale";
        EXPECT_EQ(child_capture(argv, env, {300, 1 << 20}, output), c.result) << c.script;
        EXPECT_EQ(output, c.output) << c.script;
        EXPECT_FALSE(any_process_left(pids)) << c.script;
    }
}

TEST(ChildCapture, ProgramThatCannotBeStarted)
{
    const char* const argv[] = {"lw-no-such-program", nullptr};
    const char* const env[] = {nullptr};
    std::string output;
    EXPECT_EQ(child_capture(argv, env, {1000, 1024}, output), child_not_started);
    EXPECT_EQ(output, "");
}

}  // namespace

// A child that does not die when killed (asleep in the kernel on a hung
// mount) is waited for a moment only: the loop goes on, with one line.
TEST(ChildRun, ChildThatDoesNotDieIsLeftAfterABoundedWait)
{
    reset_program_state();
    child_kill = [](pid_t, int) { return 0; };  // the kill does not take
    child_reap_grace_ms = 100;
    const shell_command shell("exec sleep 30");
    child_spec job;
    job.argv = shell.argv;
    job.io = child_io_quiet;
    job.deadline_ms = 100;
    const auto start = std::chrono::steady_clock::now();
    child_outcome outcome;
    const std::string out = capture_stdout([&] { outcome = child_run(job); });
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(outcome.result, child_timed_out);
    EXPECT_NE(out.find("が終了しません"), std::string::npos) << out;
    reset_program_state();  // kills it for good
}
