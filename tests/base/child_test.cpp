// Children bounded in time and output: one that misbehaves in any way is
// killed with everything it started, its output is dropped, and nothing of
// it is left running.
#include <gtest/gtest.h>

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
