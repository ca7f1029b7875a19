// The watch loop driven with a fake sleep and a recording expiry runner.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <linux/ethtool.h>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "action/command.h"
#include "action/rtc_alarm.h"
#include "activity/lan_wake.h"
#include "base/settings.h"
#include "core/startup.h"
#include "base/progress.h"
#include "core/watch.h"
#include "devices/registry.h"
#include "devices/watcher.h"
#include "sampling/sources.h"
#include "support/test_support.h"

namespace {

std::string ifconfig_command_text;
std::vector<std::string> commands_run;
std::vector<int64_t> command_times;  // monotonic seconds at each command
std::vector<int> idle_at_sleep;
int stop_after_expiries = 1;
// Device bits that the first sleep sets: a key press while the loop waits,
// whose activity line the watcher has printed.
uint32_t first_sleep_activity = 0;

// The fake clocks: each sleep moves both on by its length. Per sleep (by
// its 0-based number), a pass may take extra time on both clocks (a slow
// sampler) or the machine may be suspended in between (boot time only).
int64_t monotonic_ms = 0;
int64_t boottime_ms = 0;
std::map<size_t, int64_t> slow_pass_ms;
std::map<size_t, int64_t> suspended_ms;
// The status file as each sleep began, while one is written.
std::vector<std::string> status_at_sleep;

int64_t fake_monotonic()
{
    return monotonic_ms;
}

int64_t fake_boottime()
{
    return boottime_ms;
}

// The wall clock: 1796731200 when the loop starts, on with the monotonic one.
time_t fake_unix_time()
{
    return static_cast<time_t>(1796731200 + (monotonic_ms - 5000000) / 1000);
}

std::string file_text(const char* path)
{
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int record_command(const char* command_line)
{
    commands_run.push_back(command_line);
    command_times.push_back(monotonic_ms / 1000);
    return 0;
}

// Records the idle time at each sleep and moves the clocks on; once the
// wanted number of expiries has run, makes the next expiry end the loop.
void record_sleep(unsigned seconds)
{
    const size_t n = idle_at_sleep.size();
    if (n == 0 && first_sleep_activity != 0) {
        device_operation.fetch_or(first_sleep_activity);
        device_operation_disp_done.store(1);
    }
    idle_at_sleep.push_back(watch_idle_time());
    if (settings.status_path[0] != '\0')
        status_at_sleep.push_back(file_text(settings.status_path));
    const int64_t ran = seconds * 1000LL + slow_pass_ms[n];
    monotonic_ms += ran;
    boottime_ms += ran + suspended_ms[n];
    if (static_cast<int>(commands_run.size()) >= stop_after_expiries)
        settings.watch_roop = -1;
}

class WatchLoop : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset_program_state();
        commands_run.clear();
        command_times.clear();
        idle_at_sleep.clear();
        slow_pass_ms.clear();
        suspended_ms.clear();
        status_at_sleep.clear();
        stop_after_expiries = 1;
        first_sleep_activity = 0;
        // Both clocks far from 0 and from each other, as on a real machine.
        monotonic_ms = 5000000;
        boottime_ms = 7000000;
        expiry_runner = record_command;
        watch_sleep = record_sleep;
        watch_monotonic_ms = fake_monotonic;
        watch_boottime_ms = fake_boottime;
        watch_unix_time = fake_unix_time;
        // No activity source: every period is idle.
        settings.rx_threshold = settings.tx_threshold = 0;
        settings.read_threshold = settings.write_threshold = 0;
    }
    void TearDown() override { reset_program_state(); }
    // Seconds from the start of the loop to the first expiry command.
    int64_t seconds_to_expiry() const { return command_times.at(0) - 5000; }
};

const std::string default_banner = "\n監視開始\n\t満了時間：10 分、表示間隔：10 秒、判定間隔：60 秒\n";

TEST_F(WatchLoop, DefaultsWithoutSourcesExpireOnceTenMinutesHavePassed)
{
    // The first pass starts the count: the first check, at 50 s, shows 0
    // minutes, and the eleventh, at 650 s, is the first past 600 s.
    settings.watch_roop = -1;
    const std::string out = capture_stdout(watch_start);

    std::string expected = default_banner;
    for (int minute = 0; minute <= 9; minute++)
        expected += "\n継続時間：" + std::to_string(minute) + "分\n";
    expected += "監視満了!!\n";
    EXPECT_EQ(out, expected);
    EXPECT_EQ(commands_run, (std::vector<std::string>{"sync", "sync", "sync", "shutdown -h now"}));
    // Sixty-six passes: the last one ends the loop before its sleep.
    EXPECT_EQ(idle_at_sleep.size(), 65u);
}

TEST_F(WatchLoop, ActsOnlyOnceTheExpiryTimeHasReallyPassed)
{
    const struct {
        int exfire_time, check_interval, disp_interval;
        int64_t second_pass_extra_ms;  // a slow sampler
        int64_t acts_at;               // seconds after the first pass
    } cases[] = {
        {60, 60, 60, 0, 60},      // never at start-up
        {60, 10, 5, 0, 65},       // checks at 5, 15, ... 55, 65 s
        {120, 60, 60, 0, 120},
        {600, 60, 10, 0, 650},
        {600, 60, 25, 0, 650},    // checks at 50, 100, 175, 225, 275, 350 ... 650 s
        {60, 10, 10, 15000, 65},  // checks at 0, 10, 35, 45, 55, 65 s
        {60, 10, 10, 9600, 59},   // the check at 59.6 s counts 60 s (nearest second)
    };
    for (const auto& c : cases) {
        SetUp();
        slow_pass_ms[1] = c.second_pass_extra_ms;
        settings.exfire_time = c.exfire_time;
        settings.check_interval = c.check_interval;
        settings.disp_interval = c.disp_interval;
        settings.watch_roop = -1;
        capture_stdout(watch_start);
        ASSERT_FALSE(command_times.empty());
        EXPECT_EQ(seconds_to_expiry(), c.acts_at) << c.exfire_time << "/" << c.check_interval << "/" << c.disp_interval;
    }
}

TEST_F(WatchLoop, ASuspendRestartsTheIdleTime)
{
    // A boot-time clock 3 s ahead is no suspend; one an hour ahead is: the
    // pass after it starts counting again from there.
    settings.exfire_time = 180;
    settings.check_interval = settings.disp_interval = 60;
    settings.watch_roop = -1;
    suspended_ms[0] = 3000;
    suspended_ms[1] = 3600000;
    const std::string out = capture_stdout(watch_start);
    const std::string banner = "\n監視開始\n\t満了時間：3 分、表示間隔：60 秒、判定間隔：60 秒\n";
    EXPECT_EQ(out, banner + "\n継続時間：0分\n\n継続時間：1分\n\n継続時間：初期化(サスペンドから復帰)\n"
                            "\n継続時間：0分\n\n継続時間：1分\n\n継続時間：2分\n監視満了!!\n");
    EXPECT_EQ(idle_at_sleep, (std::vector<int>{0, 60, 0, 60, 120}));
}

TEST_F(WatchLoop, BannerListsOnlyNonZeroThresholds)
{
    settings.watch_roop = -1;
    settings.exfire_time = 60;
    settings.disp_interval = 60;
    settings.tx_threshold = 5;
    settings.write_threshold = 7;
    settings.command[0] = 'x';
    const std::string out = capture_stdout(watch_start);
    // The samplers' lines of the first pass follow the banner.
    const std::string banner =
        "\n監視開始\n\t満了時間：1 分、表示間隔：60 秒、判定間隔：60 秒\n"
        "\tネットワーク 閾値：(送信)5 Byte/60秒\n"
        "\tディスク 閾値：(書き込み)7 KB/60秒\n";
    EXPECT_EQ(out.substr(0, banner.size() + 1), banner + "\n");
}

TEST_F(WatchLoop, ConfiguredCommandReplacesTheDefaultAction)
{
    settings.watch_roop = -1;
    settings.exfire_time = 60;
    snprintf(settings.command, sizeof settings.command, "%s", "echo done");
    capture_stdout(watch_start);
    EXPECT_EQ(commands_run, std::vector<std::string>{"echo done"});
}

TEST_F(WatchLoop, IdleTimeCountsEachSecondOnce)
{
    // Checks come at passes 3, 5, 8, 10 (50, 100, 175, 225 s after the
    // first); the idle time grows by the seconds since the previous check,
    // never by a carried remainder.
    settings.disp_interval = 25;
    settings.check_interval = 60;
    settings.watch_roop = -1;
    const std::string out = capture_stdout(watch_start);
    ASSERT_GE(idle_at_sleep.size(), 10u);
    const std::vector<int> first_ten(idle_at_sleep.begin(), idle_at_sleep.begin() + 10);
    EXPECT_EQ(first_ten, (std::vector<int>{0, 0, 50, 50, 100, 100, 100, 175, 175, 225}));
    // 600 s of idleness expire at the check of pass 27 (650 s).
    EXPECT_EQ(idle_at_sleep.size(), 26u);
    EXPECT_NE(out.find("\n継続時間：1分\n\n継続時間：2分\n\n継続時間：3分\n"), std::string::npos);
}

TEST_F(WatchLoop, NinetySecondsShowAsOneMinute)
{
    settings.disp_interval = 30;
    settings.check_interval = 30;
    settings.watch_roop = -1;
    const std::string out = capture_stdout(watch_start);
    EXPECT_NE(out.find("\n監視開始\n\t満了時間：10 分、表示間隔：30 秒、判定間隔：30 秒\n"
                       "\n継続時間：0分\n\n継続時間：0分\n\n継続時間：1分\n\n継続時間：1分\n\n継続時間：2分\n"),
              std::string::npos);
}

TEST_F(WatchLoop, LoopingRestartsTheCountAfterAnExpiry)
{
    settings.exfire_time = 120;
    settings.disp_interval = 60;
    settings.check_interval = 60;
    settings.watch_roop = 1;
    stop_after_expiries = 2;
    const std::string out = capture_stdout(watch_start);
    EXPECT_EQ(commands_run.size(), 8u);  // two default actions of four commands
    EXPECT_EQ(idle_at_sleep, (std::vector<int>{0, 60, 0, 60}));
    const std::string banner_end = "判定間隔：60 秒\n";
    EXPECT_EQ(out.substr(out.find(banner_end) + banner_end.size()),
              "\n継続時間：0分\n\n継続時間：1分\n監視満了!!\n\n継続時間：1分\n監視満了!!\n");
}

struct device_loop_case {
    int level;
    const char* busy_line;
};

void PrintTo(const device_loop_case& c, std::ostream* os)
{
    *os << "level " << c.level;
}

class WatchLoopDevices : public WatchLoop, public ::testing::WithParamInterface<device_loop_case> {};

TEST_P(WatchLoopDevices, ActivityOfTheFirstAndThirdDeviceResetsTheIdleTime)
{
    for (const char* event : {"event3", "event4", "event5"})
        ASSERT_EQ(device_data_add(event), 0);
    first_sleep_activity = 0x5;
    settings.disp_level = GetParam().level;
    settings.disp_interval = settings.check_interval = 60;
    settings.exfire_time = 120;
    settings.watch_roop = -1;
    snprintf(settings.command, sizeof settings.command, "%s", "true");
    const std::string out = capture_stdout(watch_start);
    const std::string banner = "\n監視開始\n\t満了時間：2 分、表示間隔：60 秒、判定間隔：60 秒\n";
    EXPECT_EQ(out, banner + "\n継続時間：0分\n" + GetParam().busy_line + "\n継続時間：1分\n監視満了!!\n");
    EXPECT_EQ(commands_run, std::vector<std::string>{"true"});
    EXPECT_EQ(idle_at_sleep, (std::vector<int>{0, 0, 60}));
}

INSTANTIATE_TEST_SUITE_P(Levels, WatchLoopDevices,
                         ::testing::Values(device_loop_case{0, "\n継続時間：初期化\n"},
                                           device_loop_case{1, "\n継続時間：初期化(操作あり)\n"},
                                           device_loop_case{2, "\n継続時間：初期化(操作あり:event3/event5)\n"}));

TEST_F(WatchLoop, LineFeedAfterADeviceLineOnlyInThePassThatFollowsIt)
{
    ASSERT_EQ(device_data_add("event3"), 0);
    first_sleep_activity = 0x1;
    ifconfig_command = "printf 'lo: flags=73<UP>\\n        RX packets 5  bytes 500\\n'";
    settings.rx_threshold = 1;
    settings.disp_interval = settings.check_interval = 60;
    settings.exfire_time = 120;
    settings.watch_roop = -1;
    snprintf(settings.command, sizeof settings.command, "%s", "true");
    const std::string out = capture_stdout(watch_start);
    const std::string lo = "lo : RX increased bytes : 0\n";
    const std::string banner = "\n監視開始\n\t満了時間：2 分、表示間隔：60 秒、判定間隔：60 秒\n"
                               "\tネットワーク 閾値：(受信)1 Byte/60秒\n";
    EXPECT_EQ(out, banner + "\n" + lo + "\n継続時間：0分\n" + "\n\n" + lo + "\n継続時間：初期化(操作あり)\n" + "\n" +
                       lo + "\n継続時間：1分\n" + "\n" + lo + "監視満了!!\n");
}

TEST_F(WatchLoop, StatusFileFollowsIdleAndBusyChecks)
{
    // A key press during the first sleep, and eth0 receiving 3565158 bytes
    // between the first two samples only.
    const temp_dir dir;
    const std::string runs = dir.path + "/runs";
    ifconfig_command_text = "n=$(cat " + runs + " 2>/dev/null || echo 0); echo $((n + 1)) > " + runs +
                            "; [ $n -eq 0 ] && b=1000 || b=3566158; "
                            "printf 'eth0: flags=73<UP>\\n        RX packets 5  bytes %d\\n' $b";
    ifconfig_command = ifconfig_command_text.c_str();
    ASSERT_EQ(device_data_add("event3"), 0);
    first_sleep_activity = 0x1;
    settings.rx_threshold = 1048576;
    settings.disp_interval = settings.check_interval = 60;
    settings.exfire_time = 120;
    settings.watch_roop = -1;
    snprintf(settings.command, sizeof settings.command, "%s", "true");
    const std::string status = dir.path + "/status";
    snprintf(settings.status_path, sizeof settings.status_path, "%s", status.c_str());
    (void)capture_stdout(watch_start);

    // Idle at 0 s, busy at 60 s, idle at 120 s, then the expiry at 180 s.
    const std::string reasons = "busy_reasons=input:event3 net:eth0:rx:3565158\n";
    const std::vector<std::string> expected = {
        "idle_seconds=0\nexpiry_seconds=120\nseconds_left=120\nchecks=1\nlast_check=1796731200\n"
        "last_verdict=idle\nlast_busy=0\nbusy_reasons=\nexpiries=0\n",
        "idle_seconds=0\nexpiry_seconds=120\nseconds_left=120\nchecks=2\nlast_check=1796731260\n"
        "last_verdict=busy\nlast_busy=1796731260\n" + reasons + "expiries=0\n",
        "idle_seconds=60\nexpiry_seconds=120\nseconds_left=60\nchecks=3\nlast_check=1796731320\n"
        "last_verdict=idle\nlast_busy=1796731260\n" + reasons + "expiries=0\n",
    };
    ASSERT_EQ(status_at_sleep.size(), expected.size());
    for (size_t i = 0; i < expected.size(); i++) {
        EXPECT_NE(status_at_sleep[i].find("\nstate=watching\n"), std::string::npos) << i;
        EXPECT_NE(status_at_sleep[i].find(expected[i]), std::string::npos) << i << "\n" << status_at_sleep[i];
    }
    const std::string last = file_text(status.c_str());
    EXPECT_NE(last.find("\nstate=ended\n"), std::string::npos) << last;
    EXPECT_NE(last.find("checks=4\nlast_check=1796731380\nlast_verdict=idle\nlast_busy=1796731260\n" + reasons +
                        "expiries=1\naction=true\n"),
              std::string::npos)
        << last;
}

int rtc_writes_refused = 0;  // the first so many writes of the RTC alarm fail
uint32_t wol_enabled = 0;    // the fake card's wake modes

TEST_F(WatchLoop, AWayBackThatCannotBeArmedKeepsTheMachineOnUntilTheNextExpiry)
{
    const temp_dir dir;
    const std::string alarm = dir.write("wakealarm", ""), status = dir.path + "/status", utc = dir.path + "/none";
    rtc_wakealarm_path = alarm.c_str();
    adjtime_path = utc.c_str();
    rtc_writes_refused = 1;
    rtc_alarm_write = [](const char* path, const char* text) {
        return rtc_writes_refused-- > 0 ? EACCES : rtc_alarm_write_file(path, text);
    };
    lan_wake_ioctl = [](const char*, ethtool_wolinfo& wol) {
        wol_enabled = wol.cmd == ETHTOOL_SWOL ? wol.wolopts : wol_enabled;
        wol.supported = WAKE_MAGIC, wol.wolopts = wol_enabled;
        return 0;
    };
    setenv("TZ", "UTC0", 1), tzset();
    strcpy(settings.alarm_at, "02:30");  // 1796783400, 14.5 hours after the start
    strcpy(settings.lan_wake, "lw0");
    strcpy(settings.command, "true");
    snprintf(settings.status_path, sizeof settings.status_path, "%s", status.c_str());
    settings.exfire_time = 120;
    settings.disp_interval = settings.check_interval = 60;
    settings.watch_roop = -1;
    const std::string out = capture_stdout(watch_start);
    unsetenv("TZ"), tzset();

    const std::string warning = "警告：RTCアラーム（" + alarm + "）に書き込めません（Permission denied）。"
                                "満了処理を行わず、次の満了で再び試みます。\n";
    EXPECT_NE(out.find("\n継続時間：1分\n監視満了!!\n" + warning + "\n継続時間：1分\n監視満了!!\n"
                       "起動予約：2026-12-09 02:25（at）\nWake-on-LAN：lw0\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(commands_run, std::vector<std::string>{"true"});
    EXPECT_EQ(idle_at_sleep, (std::vector<int>{0, 60, 0, 60}));
    EXPECT_EQ(file_text(alarm.c_str()) + std::to_string(wol_enabled), "1796783100\n" + std::to_string(WAKE_MAGIC));
    ASSERT_EQ(status_at_sleep.size(), 4u);
    EXPECT_NE(status_at_sleep[2].find("last_busy=1796731320\nbusy_reasons=alarm:error\nexpiries=0\n"),
              std::string::npos);
    EXPECT_NE(status_at_sleep[3].find("sources=alarm:ok\nnext_alarm=1796783100\nnext_alarm_source=at\n"),
              std::string::npos);
    EXPECT_NE(file_text(status.c_str()).find("expiries=1\n"), std::string::npos);
}

TEST(TimeCheck, AcceptsEqualValuesAndRefusesDisorder)
{
    reset_program_state();
    settings.disp_interval = 60;
    EXPECT_TRUE(time_settings_valid());
    settings.exfire_time = 60;
    EXPECT_TRUE(time_settings_valid());

    settings_reset();
    settings.disp_interval = 61;
    bool valid = true;
    const std::string out = capture_stdout([&] { valid = time_settings_valid(); });
    EXPECT_FALSE(valid);
    EXPECT_EQ(out, "時間設定に誤りがあります。\n表示間隔 ＜ チェック間隔 ＜ 満了時間で設定してください。\n現状： 61 60 600\n");
    reset_program_state();
}

}  // namespace
