// Before and at the expiry action: the notice and its command, the time
// check that keeps the notice shorter than the expiry time, the dry run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <unistd.h>

#include "base/settings.h"
#include "action/dry_run.h"
#include "action/expiry.h"
#include "action/rtc_alarm.h"
#include "activity/lan_wake.h"
#include "action/notice.h"
#include "support/test_support.h"

namespace {

std::vector<std::string> notice_calls;

int record_notice(const char* command_line)
{
    notice_calls.push_back(command_line);
    return 0;
}

const char* const call_off_line = "満了予告取り消し：アイドルが途切れたため、満了処理は行いません。\n";

TEST(Notice, GivenOnceAtTheNoticePointAndCalledOffWhenIdlenessEnds)
{
    reset_program_state();
    settings.exfire_time = 600;
    settings.notice_time = 120;
    strcpy(settings.notice_run, "wall soon");
    notice_runner = record_notice;
    notice_calls.clear();
    const struct { bool busy; int idle; notice_event event; bool standing; std::string output; } steps[] = {
        {false, 420, notice_none, false, ""},
        {false, 480, notice_given, true, "満了予告：アイドルが続けば約2分00秒後に満了処理を行います。\n"},
        {false, 540, notice_none, true, ""},
        {true, 0, notice_called_off, false, call_off_line},
        {true, 0, notice_none, false, ""},
        {false, 500, notice_given, true, "満了予告：アイドルが続けば約1分40秒後に満了処理を行います。\n"},
        {false, 0, notice_called_off, false, call_off_line},  // idle time restarted without a busy check
        {false, 600, notice_given, true, "満了予告：アイドルが続けば約0分00秒後に満了処理を行います。\n"},
    };
    bool standing = false;
    for (const auto& s : steps) {
        notice_event event = notice_none;
        EXPECT_EQ(capture_stdout([&] { event = notice_after_check(s.busy, s.idle, standing); }), s.output)
            << s.idle;
        EXPECT_EQ(event, s.event) << s.idle;
        EXPECT_EQ(standing, s.standing) << s.idle;
    }
    EXPECT_EQ(notice_calls, std::vector<std::string>(3, "wall soon"));

    settings.notice_time = 0;  // off: nothing, whatever the idle time
    standing = false;
    EXPECT_EQ(capture_stdout([&] { notice_after_check(false, 599, standing); }), "");
    EXPECT_EQ(notice_calls.size(), 3u);
    reset_program_state();
}

TEST(Notice, CommandFailuresAreReportedLikeTheExpiryCommand)
{
    const struct { int (*runner)(const char*); std::string output; } cases[] = {
        {[](const char*) { return -1; }, "コマンド起動失敗：wall x\n"},
        {[](const char*) { return notice_timed_out; }, "コマンド実行失敗：wall x（10 秒で打ち切り）\n"},
        {[](const char*) { return 3 << 8; }, "コマンド実行失敗：wall x（終了ステータス 3）\n"},
    };
    for (const auto& c : cases) {
        notice_runner = c.runner;
        bool ok = true;
        EXPECT_EQ(capture_stdout([&] { ok = notice_run_reported("wall x"); }), c.output);
        EXPECT_FALSE(ok) << c.output;
    }
    reset_program_state();
}

TEST(Notice, CommandRunsInItsOwnGroupWhichIsKilledAtTheDeadline)
{
    EXPECT_EQ(run_in_group("[ \"$(cut -d' ' -f5 /proc/$$/stat)\" = \"$$\" ]", 5), 0);  // group = pid
    EXPECT_EQ(run_in_group("exit 3", 5), 3 << 8);
    temp_dir dir;
    const std::string pid_file = dir.path + "/pid";
    EXPECT_EQ(run_in_group(("sleep 30 & echo $! > " + pid_file + "; wait").c_str(), 1), notice_timed_out);
    int child = 0;
    std::ifstream(pid_file) >> child;
    ASSERT_GT(child, 0);
    // The background child was killed with the group: gone, or a zombie.
    std::string pid, comm, state = "Z";
    for (int i = 0; i < 100 && (std::ifstream("/proc/" + std::to_string(child) + "/stat") >> pid >> comm >> state) &&
                    state != "Z"; i++)
        usleep(10000);
    EXPECT_EQ(state, "Z");
}

TEST(DryRun, NamesTheCommandThatWouldRunAndRunsNothing)
{
    temp_dir fakes;  // every command the dry run could reach records its call
    for (const char* name : {"sync", "shutdown", "sh", "echo"})
        write_script(fakes, name, "echo \"$0 $*\" >> " + fakes.path + "/calls\n");
    const std::string saved_path = getenv("PATH");
    const struct { int dry; const char* command; std::string output; } cases[] = {
        {1, "", "ドライランのため実行しません：sync; sync; sync; shutdown -h now\n"},
        {1, "echo bye", "ドライランのため実行しません：echo bye\n"},
        {0, "echo bye", ""},
    };
    for (const auto& c : cases) {
        reset_program_state();
        settings.dry_run = c.dry;
        strcpy(settings.command, c.command);
        setenv("PATH", fakes.path.c_str(), 1);
        bool dry = c.dry == 0;
        EXPECT_EQ(capture_stdout([&] { dry = expiry_dry_run(); }), c.output);
        setenv("PATH", saved_path.c_str(), 1);
        EXPECT_EQ(dry, c.dry != 0);
    }
    EXPECT_NE(access((fakes.path + "/calls").c_str(), F_OK), 0) << "a command ran";
    reset_program_state();
}

TEST(DryRun, NamesTheWayBackThatWouldBeArmedAndArmsNothing)
{
    reset_program_state();
    settings.dry_run = 1;
    strcpy(settings.alarm_timers, "backup*.timer");
    strcpy(settings.lan_wake, "eth0,eth1");
    rtc_alarm_write = [](const char*, const char*) { return ADD_FAILURE(), 0; };
    lan_wake_ioctl = [](const char*, ethtool_wolinfo&) { return ADD_FAILURE(), 0; };
    activity_check check;
    check.wake = {true, 1796783400, 1796783100, "backup.timer"};
    setenv("TZ", "UTC0", 1), tzset();
    EXPECT_EQ(capture_stdout([&] { EXPECT_TRUE(shutdown_proc(check)); }),
              "監視満了!!\nドライランのため設定しません：起動予約 2026-12-09 02:25（backup.timer）\n"
              "ドライランのため設定しません：Wake-on-LAN eth0,eth1\n"
              "ドライランのため実行しません：sync; sync; sync; shutdown -h now\n");
    unsetenv("TZ"), tzset();
    reset_program_state();
}

}  // namespace
