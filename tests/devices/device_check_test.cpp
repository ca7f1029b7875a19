// The device check, alone and inside the watch loop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/command.h"
#include "core/settings.h"
#include "core/watch.h"
#include "devices/registry.h"
#include "devices/watcher.h"
#include "support/test_support.h"

namespace {

// Registers event0, event1, ... event<count-1>.
void register_devices(int count)
{
    for (int i = 0; i < count; i++)
        ASSERT_EQ(device_data_add(("event" + std::to_string(i)).c_str()), 0);
}

struct check_case {
    const char* title;
    int devices;
    int level;
    uint32_t mask;
    const char* message;
    bool busy;
};

void PrintTo(const check_case& c, std::ostream* os)
{
    *os << c.title;
}

class DeviceCheck : public ::testing::TestWithParam<check_case> {
protected:
    void SetUp() override { reset_program_state(); }
    void TearDown() override { reset_program_state(); }
};

TEST_P(DeviceCheck, NamesTheActiveDevicesByLevel)
{
    const check_case& c = GetParam();
    register_devices(c.devices);
    settings.disp_level = c.level;
    device_operation.store(c.mask);
    activity_check check;
    device_check(check);
    EXPECT_EQ(check.message, c.message);
    EXPECT_EQ(check.busy, c.busy);
    EXPECT_EQ(device_operation.load(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, DeviceCheck,
    ::testing::Values(
        check_case{"FirstAndThirdAtLevel2", 6, 2, 0x5, "(操作あり:event0/event2)", true},
        check_case{"FirstAndThirdAtLevel3", 6, 3, 0x5, "(操作あり:event0/event2)", true},
        check_case{"OneAtLevel2", 6, 2, 0x10, "(操作あり:event4)", true},
        check_case{"Level1NamesNoDevice", 6, 1, 0x5, "(操作あり)", true},
        check_case{"Level0IsBusyButSilent", 6, 0, 0x5, "", true},
        check_case{"NegativeLevelIsBusyButSilent", 6, -2, 0x1, "", true},
        check_case{"Bit31", 32, 2, 0x80000000u, "(操作あり:event31)", true},
        check_case{"Bit31AtLevel0", 32, 0, 0x80000000u, "", true},
        check_case{"AllBits", 32, 1, 0xFFFFFFFFu, "(操作あり)", true},
        // index 33 owns bit 1 together with index 1, which the bit names.
        check_case{"SharedBitNamesTheFirstOwner", 34, 2, 0x2, "(操作あり:event1)", true},
        check_case{"NoBitNoVerdict", 6, 2, 0, "", false}),
    [](const ::testing::TestParamInfo<check_case>& info) { return info.param.title; });

TEST(DeviceCheckVerdict, EmptyMaskLeavesAnEarlierVerdictAlone)
{
    reset_program_state();
    register_devices(2);
    activity_check check;
    check.busy = true;
    check.message = "x";
    device_check(check);
    EXPECT_TRUE(check.busy);
    EXPECT_EQ(check.message, "x");
    reset_program_state();
}

// The loop with a fake sleep: device activity during the second period.
std::vector<std::string> commands_run;
int sleeps = 0;

int record_command(const char* command_line)
{
    commands_run.push_back(command_line);
    return 0;
}

// Stands for a key press on the first and third devices while the loop
// sleeps after its first check.
void sleep_with_activity(unsigned)
{
    if (++sleeps == 1)
        device_operation.fetch_or(0x5u);
}

struct loop_case {
    int level;
    const char* busy_line;
};

void PrintTo(const loop_case& c, std::ostream* os)
{
    *os << "level " << c.level;
}

class DeviceActivityInTheLoop : public ::testing::TestWithParam<loop_case> {
protected:
    void SetUp() override
    {
        reset_program_state();
        commands_run.clear();
        sleeps = 0;
        expiry_runner = record_command;
        saved_sleep_ = watch_sleep;
        watch_sleep = sleep_with_activity;
        settings.rx_threshold = settings.tx_threshold = 0;
        settings.read_threshold = settings.write_threshold = 0;
        settings.disp_interval = settings.check_interval = 60;
        settings.exfire_time = 120;
        settings.watch_roop = -1;
        snprintf(settings.command, sizeof settings.command, "%s", "true");
        for (const char* event : {"event3", "event4", "event5"})
            ASSERT_EQ(device_data_add(event), 0);
    }
    void TearDown() override
    {
        watch_sleep = saved_sleep_;
        reset_program_state();
    }
    void (*saved_sleep_)(unsigned) = nullptr;
};

TEST_P(DeviceActivityInTheLoop, BusyPeriodResetsTheIdleTime)
{
    settings.disp_level = GetParam().level;
    const std::string out = capture_stdout(watch_start);
    const std::string banner = "\n監視開始\n\t満了時間：2 分、表示間隔：60 秒、判定間隔：60 秒\n";
    EXPECT_EQ(out, banner + "\n継続時間：1分\n" + GetParam().busy_line + "\n継続時間：1分\n監視満了!!\n");
    EXPECT_EQ(commands_run, std::vector<std::string>{"true"});
    EXPECT_EQ(sleeps, 3);
}

INSTANTIATE_TEST_SUITE_P(Levels, DeviceActivityInTheLoop,
                         ::testing::Values(loop_case{0, "\n継続時間：初期化\n"},
                                           loop_case{1, "\n継続時間：初期化(操作あり)\n"},
                                           loop_case{2, "\n継続時間：初期化(操作あり:event3/event5)\n"}));

}  // namespace
