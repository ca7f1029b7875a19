// Expiry commands: failures are reported, never passed over in silence.
#include <gtest/gtest.h>

#include "core/command.h"
#include "support/test_support.h"

namespace {

int cannot_start(const char*)
{
    return -1;
}

class ExpiryCommand : public ::testing::Test {
protected:
    void SetUp() override { reset_program_state(); }
    void TearDown() override { reset_program_state(); }
};

TEST_F(ExpiryCommand, SuccessPrintsNothing)
{
    bool ok = false;
    EXPECT_EQ(capture_stdout([&] { ok = run_reported("true"); }), "");
    EXPECT_TRUE(ok);
}

TEST_F(ExpiryCommand, NonZeroStatusIsReportedWithTheCommand)
{
    bool ok = true;
    EXPECT_EQ(capture_stdout([&] { ok = run_reported("exit 3"); }),
              "コマンド実行失敗：exit 3（終了ステータス 3）\n");
    EXPECT_FALSE(ok);
}

TEST_F(ExpiryCommand, MissingProgramIsReportedAsStatus127)
{
    const std::string out = capture_stdout([] { run_reported("lw-no-such-command-here 2>/dev/null"); });
    EXPECT_EQ(out, "コマンド実行失敗：lw-no-such-command-here 2>/dev/null（終了ステータス 127）\n");
}

TEST_F(ExpiryCommand, DeathBySignalIsReported)
{
    EXPECT_EQ(capture_stdout([] { run_reported("kill -9 $$"); }),
              "コマンド実行失敗：kill -9 $$（シグナル 9 で終了）\n");
}

TEST_F(ExpiryCommand, CommandThatCannotStartIsReported)
{
    expiry_runner = cannot_start;
    EXPECT_EQ(capture_stdout([] { run_reported("anything"); }), "コマンド起動失敗：anything\n");
}

TEST_F(ExpiryCommand, RunnerWaitsAndReturnsTheStatus)
{
    temp_dir dir;
    const std::string mark = dir.path + "/mark";
    const int status = run_command(("sleep 0.2; echo x > " + mark).c_str());
    EXPECT_EQ(status, 0);
    EXPECT_EQ(access(mark.c_str(), F_OK), 0);
}

}  // namespace
