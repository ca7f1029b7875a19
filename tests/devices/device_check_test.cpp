// The device check: which devices each level names, and the verdict.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/settings.h"
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
    const char* reasons;  // the tokens, space-separated: at every level
};

// Every device of 32 named, in bit order.
const char* const all_32 =
    "input:event0 input:event1 input:event2 input:event3 input:event4 input:event5 input:event6 input:event7 "
    "input:event8 input:event9 input:event10 input:event11 input:event12 input:event13 input:event14 "
    "input:event15 input:event16 input:event17 input:event18 input:event19 input:event20 input:event21 "
    "input:event22 input:event23 input:event24 input:event25 input:event26 input:event27 input:event28 "
    "input:event29 input:event30 input:event31";

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
    std::string reasons;
    for (const std::string& token : reason_tokens(check.reasons))
        reasons += (reasons.empty() ? "" : " ") + token;
    EXPECT_EQ(reasons, c.reasons);
    EXPECT_EQ(device_operation.load(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, DeviceCheck,
    ::testing::Values(
        check_case{"FirstAndThirdAtLevel2", 6, 2, 0x5, "(操作あり:event0/event2)", true, "input:event0 input:event2"},
        check_case{"FirstAndThirdAtLevel3", 6, 3, 0x5, "(操作あり:event0/event2)", true, "input:event0 input:event2"},
        check_case{"OneAtLevel2", 6, 2, 0x10, "(操作あり:event4)", true, "input:event4"},
        check_case{"Level1NamesNoDevice", 6, 1, 0x5, "(操作あり)", true, "input:event0 input:event2"},
        check_case{"Level0IsBusyButSilent", 6, 0, 0x5, "", true, "input:event0 input:event2"},
        check_case{"NegativeLevelIsBusyButSilent", 6, -2, 0x1, "", true, "input:event0"},
        check_case{"Bit31", 32, 2, 0x80000000u, "(操作あり:event31)", true, "input:event31"},
        check_case{"Bit31AtLevel0", 32, 0, 0x80000000u, "", true, "input:event31"},
        check_case{"AllBits", 32, 1, 0xFFFFFFFFu, "(操作あり)", true, all_32},
        // index 33 owns bit 1 together with index 1, which the bit names.
        check_case{"SharedBitNamesTheFirstOwner", 34, 2, 0x2, "(操作あり:event1)", true, "input:event1"},
        check_case{"NoBitNoVerdict", 6, 2, 0, "", false, ""}),
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

}  // namespace
