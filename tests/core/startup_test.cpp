// Start-up checks: the times, including the notice, and the LAN_WAKE=
// interfaces.
#include <gtest/gtest.h>

#include <cstring>

#include "base/settings.h"
#include "core/startup.h"
#include "support/test_support.h"

namespace {

TEST(StartupChecks, TimeCheckRefusesANoticeNotShorterThanTheExpiryTime)
{
    const std::string refusal = "時間設定に誤りがあります。\n表示間隔 ＜ チェック間隔 ＜ 満了時間で設定してください。\n現状： ";
    const struct { int disp, check, exfire, notice; std::string output; } cases[] = {  // "": accepted
        {10, 60, 600, 0, ""},
        {10, 60, 600, 540, ""},
        {61, 60, 600, 0, refusal + "61 60 600\n"},
        {10, 60, 600, 600, refusal + "10 60 600\n満了予告時間 ＜ 満了時間で設定してください。現状： 600 600\n"},
        {61, 60, 600, 60, refusal + "61 60 600\n満了予告時間 ＜ 満了時間で設定してください。現状： 60 600\n"},
    };
    for (const auto& c : cases) {
        reset_program_state();
        settings.disp_interval = c.disp;
        settings.check_interval = c.check;
        settings.exfire_time = c.exfire;
        settings.notice_time = c.notice;
        bool ok = !c.output.empty();
        EXPECT_EQ(capture_stdout([&] { ok = time_settings_valid(); }), c.output);
        EXPECT_EQ(ok, c.output.empty()) << c.notice;
    }
    reset_program_state();
}

TEST(StartupChecks, LanWakeInterfacesThatCannotWakeByMagicPacketAreNamed)
{
    reset_program_state();
    strcpy(settings.lan_wake, "lo, lw-none0");
    const std::string then = "。Wake-on-LAN を有効にできるまで満了処理は行いません。\n";
    EXPECT_EQ(capture_stdout(lan_wake_startup_check), "警告：LAN_WAKE= の lo：Wake-on-LAN 非対応" + then +
                                                          "警告：LAN_WAKE= の lw-none0：インターフェースがありません" + then);
    reset_program_state();
}

}  // namespace
