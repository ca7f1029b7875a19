// Expiry commands: failures are reported, never passed over in silence.
#include <gtest/gtest.h>

#include <unistd.h>

#include "action/command.h"
#include "support/test_support.h"

namespace {

int cannot_start(const char*)
{
    return -1;
}

TEST(ExpiryCommand, EachOutcomeIsReportedWithTheCommand)
{
    const struct {
        const char* command;
        int (*runner)(const char*);
        bool ok;
        std::string output;
    } cases[] = {
        {"true", run_command, true, ""},
        {"exit 3", run_command, false, "コマンド実行失敗：exit 3（終了ステータス 3）\n"},
        {"lw-no-such-command-here 2>/dev/null", run_command, false,
         "コマンド実行失敗：lw-no-such-command-here 2>/dev/null（終了ステータス 127）\n"},
        {"kill -9 $$", run_command, false, "コマンド実行失敗：kill -9 $$（シグナル 9 で終了）\n"},
        {"anything", cannot_start, false, "コマンド起動失敗：anything\n"},
    };
    for (const auto& c : cases) {
        reset_program_state();
        expiry_runner = c.runner;
        bool ok = !c.ok;
        EXPECT_EQ(capture_stdout([&] { ok = run_reported(c.command); }), c.output) << c.command;
        EXPECT_EQ(ok, c.ok) << c.command;
    }
    reset_program_state();
}

TEST(ExpiryCommand, RunnerWaitsAndReturnsTheStatus)
{
    temp_dir dir;
    const std::string mark = dir.path + "/mark";
    EXPECT_EQ(run_command(("sleep 0.2; echo x > " + mark).c_str()), 0);
    EXPECT_EQ(access(mark.c_str(), F_OK), 0);
    // The command leads a process group of its own (field 5 of its stat).
    EXPECT_EQ(run_command("[ \"$(cut -d' ' -f5 /proc/$$/stat)\" = \"$$\" ]"), 0);
}

}  // namespace
