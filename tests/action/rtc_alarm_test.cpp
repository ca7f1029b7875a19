// Arming the RTC alarm, with temporary files for the alarm file and adjtime.
#include <gtest/gtest.h>

#include "action/rtc_alarm.h"
#include "support/test_support.h"

namespace {

constexpr time_t winter = 1796783400, summer = 1783564200;  // 2026-12-09 and 2026-07-09, 02:30 UTC
std::vector<std::string> writes;
bool drop_setting = false;  // as the kernel drops a moment already past

int recording_write(const char* path, const char* text)
{
    writes.push_back(text);
    return drop_setting && writes.size() > 1 ? 0 : rtc_alarm_write_file(path, text);
}

TEST(RtcAlarm, ClearedThenSetInTheRtcsTimeOrWhatFailedIsNamed)
{
    temp_dir dir;
    const std::string alarm = dir.write("wakealarm", ""), adjtime = dir.write("adjtime", ""), none = dir.path + "/x";
    rtc_wakealarm_path = alarm.c_str();
    adjtime_path = adjtime.c_str();
    rtc_alarm_write = recording_write;
    const char *local = "0 0 0\n0\nLOCAL\n", *cet = "CET-1CEST,M3.5.0,M10.5.0/3";
    const struct {
        const char *adjtime, *tz;
        time_t moment;
        long long written;
    } cases[] = {{"0 0 0\nLOCAL\nUTC\n", "JST-9", winter, winter}, {local, "JST-9", winter, winter + 9 * 3600},
                 {local, cet, winter, winter + 3600}, {local, cet, summer, summer + 7200}};
    for (const auto& c : cases) {
        dir.write("adjtime", c.adjtime);
        setenv("TZ", c.tz, 1);
        tzset();
        writes.clear();
        const rtc_alarm_result result = rtc_alarm_arm(c.moment);
        EXPECT_TRUE(result.fault == rtc_alarm_armed && result.read_back == c.written) << c.tz << c.adjtime;
        EXPECT_EQ(writes, (std::vector<std::string>{"0\n", std::to_string(c.written) + "\n"}));
    }
    drop_setting = true;
    writes.clear();
    EXPECT_EQ(rtc_alarm_arm(winter).fault, rtc_alarm_differs);
    for (const auto& [path, fault] : {std::pair{"/dev/full", rtc_alarm_refused}, {none.c_str(), rtc_alarm_no_rtc}}) {
        rtc_wakealarm_path = path;
        writes.clear();
        EXPECT_EQ(rtc_alarm_arm(winter).fault, fault);
        EXPECT_EQ(writes.size(), 1u);  // nothing set after a failed clear
    }
    rtc_alarm_reset();
    drop_setting = false;
    unsetenv("TZ");
}

}  // namespace
