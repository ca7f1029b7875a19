// Days and times of day in Berlin, across both clock changes of 2026 (March
// 29: 02:00 CET becomes 03:00 CEST; October 25: 03:00 CEST becomes 02:00 CET).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "base/day_time.h"

namespace {

class DayTime : public ::testing::Test {
protected:
    void SetUp() override { setenv("TZ", "Europe/Berlin", 1), tzset(); }
    void TearDown() override { old_tz.empty() ? unsetenv("TZ") : setenv("TZ", old_tz.c_str(), 1), tzset(); }
    const std::string old_tz = getenv("TZ") != nullptr ? getenv("TZ") : "";
};

// A wall-clock time in March 2026 (no clock change on these days).
time_t march(int day, int hour, int minute)
{
    tm t{};
    t.tm_year = 126, t.tm_mon = 2, t.tm_mday = day, t.tm_hour = hour, t.tm_min = minute, t.tm_isdst = -1;
    return mktime(&t);
}

TEST_F(DayTime, OnlyClearTextsAreAccepted)
{
    std::vector<day_window> windows;
    std::vector<day_time> times;
    for (const char* valid : {"", "Mon-Fri 08:00-18:00,Sat 10:00-14:00,20:00-23:30", " fri-MON\t22:00-2:00,0:00-24:00"})
        EXPECT_TRUE(parse_day_windows(valid, windows)) << valid;
    for (const char* invalid :
         {"Mon", "Mon,Wed 08:00-10:00", "Mon-Mon 08:00-09:00", "Monday 08:00-09:00", "Mon-Fri-Sat 08:00-09:00",
          "Mon 08:00-09:00 x", "08:00", "08:00-08:00", "00:00-00:00", "24:00-02:00", "08:00-24:30", "8:5-9:00",
          "08:00:00-09:00", "25:00-26:00", "08:00-18:00,", ",08:00-18:00", "08:00-09:00,,10:00-11:00"}) {
        EXPECT_FALSE(parse_day_windows(invalid, windows)) << invalid;
        EXPECT_TRUE(windows.empty());
    }
    EXPECT_TRUE(parse_day_times("06:30,Mon-Fri 06:30,Sat 9:00", times));
    for (const char* invalid : {"06:30-07:00", "Mon-Fri", "6:3", "24:00", "Sun 06:30 07:00"})
        EXPECT_FALSE(parse_day_times(invalid, times)) << invalid;
}

TEST_F(DayTime, WindowHoldingAMoment)
{
    std::vector<day_window> windows;
    ASSERT_TRUE(parse_day_windows("Mon-Fri 08:00-18:00, Sat 10:00-14:00,Fri 22:00-02:00,Sun-Mon 20:00-00:00", windows));
    const struct {
        time_t moment;
        const char* window;  // null: outside
    } cases[] = {
        {march(27, 12, 0), "Mon-Fri 08:00-18:00"},  // a Friday
        {march(27, 7, 59), nullptr},
        {march(27, 18, 0), nullptr},  // the end is not inside
        {march(27, 23, 0), "Fri 22:00-02:00"},
        {march(28, 1, 59), "Fri 22:00-02:00"},  // Saturday, still Friday's night
        {march(28, 2, 0), nullptr},
        {march(28, 12, 0), "Sat 10:00-14:00"},
        {march(26, 23, 0), nullptr},  // Thursday: the night window starts on Fridays only
        {march(29, 23, 59), "Sun-Mon 20:00-00:00"},
        {march(31, 0, 0), nullptr},  // Tuesday 00:00: Monday's window has ended
    };
    for (const auto& c : cases) {
        const day_window* w = day_window_at(windows, c.moment);
        EXPECT_EQ(w != nullptr ? w->text : "-", c.window != nullptr ? c.window : "-") << c.moment;
    }
    ASSERT_TRUE(parse_day_windows("02:00-03:00", windows));
    EXPECT_NE(day_window_at(windows, 1792888200), nullptr);  // 02:30 CEST
    EXPECT_NE(day_window_at(windows, 1792891800), nullptr);  // 02:30 CET, an hour later
}

TEST_F(DayTime, NextNamedMomentAcrossClockChanges)
{
    std::vector<day_time> times;
    const struct {
        const char* list;
        time_t now;
        time_t next;
    } cases[] = {
        {"Mon-Fri 06:30,Sat 09:00", march(27, 7, 0), march(28, 9, 0)},
        {"Mon-Fri 06:30,Sat 09:00", march(28, 10, 0), march(30, 6, 30)},  // over the spring change
        {"06:30", march(27, 6, 30), march(27, 6, 30)},                     // at now counts
        {"Tue 06:30", march(31, 6, 31), march(31 + 7, 6, 30)},              // a week on
        {"02:30", march(29, 0, 0), 1774747800},  // skipped: 03:30 CEST
        {"02:30", 1792879200, 1792888200},       // Oct 25 00:00: the first 02:30 (CEST)
        {"02:30", 1792889100, 1792891800 + 86400},  // after it: Oct 26 02:30 CET
        {"", march(27, 7, 0), -1},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(parse_day_times(c.list, times)) << c.list;
        EXPECT_EQ(day_time_next(times, c.now), c.next) << c.list << " at " << c.now;
    }
}

}  // namespace
