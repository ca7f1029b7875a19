// Hours to stay up, through the source's check with a fake clock.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "activity/hours.h"
#include "base/clock.h"
#include "base/settings.h"
#include "support/test_support.h"

namespace {

time_t fake_now;

// Wall-clock time on a day of March 2026 in UTC (the 25th is a Wednesday).
time_t march(int day, int hour, int minute)
{
    tm t{};
    t.tm_year = 126, t.tm_mon = 2, t.tm_mday = day, t.tm_hour = hour, t.tm_min = minute;
    return timegm(&t);
}

TEST(Hours, EveryCheckInsideAWindowIsBusy)
{
    const std::string old_tz = getenv("TZ") != nullptr ? getenv("TZ") : "";
    setenv("TZ", "UTC0", 1), tzset();
    snprintf(settings.awake_hours, sizeof settings.awake_hours, "%s", "Mon-Fri 08:00-18:00, 22:00-02:00");
    watch_unix_time = [] { return fake_now; };
    const struct {
        time_t moment;
        const char* reason;  // null: outside
    } cases[] = {
        {march(25, 12, 0), "hours:Mon-Fri 08:00-18:00"},
        {march(25, 7, 59), nullptr},
        {march(25, 18, 0), nullptr},
        {march(28, 12, 0), nullptr},  // a Saturday: outside the day range
        {march(28, 23, 0), "hours:22:00-02:00"},
        {march(29, 1, 59), "hours:22:00-02:00"},  // across midnight
        {march(29, 2, 0), nullptr},
    };
    for (const auto& c : cases) {
        fake_now = c.moment;
        activity_check check;
        hours_check(check);
        EXPECT_EQ(check.busy, c.reason != nullptr) << c.moment;
        EXPECT_EQ(reason_tokens(check.reasons), c.reason ? std::vector<std::string>{c.reason}
                                                         : std::vector<std::string>{}) << c.moment;
        EXPECT_EQ(check.message, c.reason ? "(稼働時間帯)" : "");
    }
    reset_program_state();
    clock_reset();
    old_tz.empty() ? unsetenv("TZ") : setenv("TZ", old_tz.c_str(), 1), tzset();
}

}  // namespace
