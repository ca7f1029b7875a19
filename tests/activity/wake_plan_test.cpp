// The wake-up plan: the earliest time of the timers (a mock systemd on a
// private bus), ALARM_AT= and the query, and the "too close" decision on a
// fake wall clock, in UTC.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "activity/wake_plan.h"
#include "base/clock.h"
#include "base/settings.h"
#include "support/private_bus.h"
#include "support/test_support.h"

namespace {

time_t fake_now;
constexpr time_t seven = 1796799600;  // 2026-12-09 07:00 UTC

struct WakePlan : ::testing::Test {
    void SetUp() override
    {
        reset_program_state();
        setenv("TZ", "UTC0", 1), tzset();
        watch_unix_time = [] { return fake_now; };
    }
    void TearDown() override { reset_program_state(), unsetenv("TZ"), tzset(); }
};

TEST_F(WakePlan, TooCloseWhileTheWakeUpMomentIsLessThanTwiceTheLeadAway)
{
    strcpy(settings.alarm_at, "07:00");
    const struct {
        time_t now;
        int lead_minutes;
        bool busy;
    } cases[] = {{seven - 15 * 60, 5, false},  // the wake-up at 06:55 is 10 minutes away
                 {seven - 15 * 60 + 1, 5, true}, {seven - 1, 5, true}, {seven, 5, false},  // then the next day's
                 {seven - 3 * 3600, 60, false},  {seven - 3 * 3600 + 60, 60, true}};
    for (const auto& c : cases) {
        fake_now = c.now;
        settings.alarm_lead = c.lead_minutes * 60;
        activity_check check;
        alarm_check(check);
        const std::vector<std::string> busy{"alarm:at:" + std::to_string(seven)};
        EXPECT_EQ(reason_tokens(check.reasons), c.busy ? busy : std::vector<std::string>{}) << c.now - seven;
        EXPECT_EQ(check.message, c.busy ? "(起動予定が近い)" : "");
    }
}

TEST_F(WakePlan, EarliestOfTheTimersTheTimesAndTheQuery)
{
    if (!private_bus::available())
        GTEST_SKIP() << "dbus-daemon or python3-dbusmock is not installed";
    private_bus bus(mock_systemd);
    ASSERT_TRUE(bus.up() && bus.add_timer("backup.timer", 1796783400000000) &&  // 02:30
                bus.add_timer("fstrim.timer", 1796778000000000) && bus.add_timer("backup-boot.timer", 0));
    fake_now = 1796731200;  // 12:00 the day before
    alarm_query_deadline_ms = 500;
    const struct {
        const char *timers, *at, *query;
        bool made;
        time_t earliest;
        const char* source;
    } cases[] = {
        {"backup*.timer", "", "", true, 1796783400, "backup.timer"},
        {"backup*.timer", "02:00", "", true, 1796781600, "at"},
        {"backup*.timer", "02:00", "echo ' 1796740000'", true, 1796740000, "query"},
        {"", "", "echo 1796700000", true, 0, ""},  // already past: no time
        {"", "", "true", true, 0, ""},             // nothing printed: no time
        {"", "07:00", "echo 1796740000x", false, 0, ""},
        {"", "07:00", "echo 1796740000; exit 1", false, 0, ""},
        {"", "07:00", "sleep 2", false, 0, ""},
    };
    for (const auto& c : cases) {
        strcpy(settings.alarm_timers, c.timers);
        strcpy(settings.alarm_at, c.at);
        strcpy(settings.alarm_query, c.query);
        activity_check check;
        (void)capture_stdout([&] { alarm_check(check); });
        const wake_plan& plan = check.wake;
        EXPECT_TRUE(plan.made == c.made && plan.earliest == c.earliest && plan.source == c.source) << c.query;
        EXPECT_EQ(plan.moment, c.earliest == 0 ? 0 : c.earliest - 300) << c.query;
        EXPECT_EQ(reason_tokens(check.reasons), c.made ? std::vector<std::string>{} : std::vector<std::string>{"alarm:error"});
    }
}

}  // namespace
