#include "activity/wake_plan.h"

#include <cstdio>
#include <string_view>
#include <sys/wait.h>
#include <vector>

#include "activity/lan_wake.h"
#include "activity/source_report.h"
#include "activity/system_bus.h"
#include "activity/systemd_timers.h"
#include "base/child.h"
#include "base/clock.h"
#include "base/day_time.h"
#include "base/messages.h"
#include "base/name_list.h"
#include "base/settings.h"
#include "base/text_escape.h"

int alarm_query_deadline_ms = alarm_query_deadline_ms_default;

source_health alarm_health;

namespace {

// What could not answer at the last failure, for the line that says it
// answers again.
std::string alarm_failing_what;

// Takes time as the earliest when it lies after now and before the
// earliest so far.
void plan_consider(wake_plan& plan, time_t now, int64_t time, const std::string& source)
{
    if (time > now && (plan.earliest == 0 || time < plan.earliest)) {
        plan.earliest = time;
        plan.source = source;
    }
}

bool plan_timers(time_t now, wake_plan& plan)
{
    if (settings.alarm_timers[0] == '\0')
        return true;
    const timer_listing listing = systemd_timers_read(settings.alarm_timers, system_bus_deadline());
    for (const timer_elapse& timer : listing.timers) {
        if (timer.next_us != 0)
            plan_consider(plan, now, static_cast<int64_t>(timer.next_us / 1000000), timer.name);
    }
    return listing.answered;
}

void plan_at(time_t now, wake_plan& plan)
{
    std::vector<day_time> times;
    if (parse_day_times(settings.alarm_at, times))
        plan_consider(plan, now, day_time_next(times, now + 1), "at");
}

// The query's output: blanks around one decimal number of seconds, or
// nothing (time 0). False for anything else.
bool parse_query_time(std::string_view text, int64_t& time)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    if (text.size() > 18)
        return false;
    time = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        time = time * 10 + (c - '0');
    }
    return true;
}

// False when the query did not end with status 0 in time and printing at
// most one number.
bool plan_query(time_t now, wake_plan& plan)
{
    if (settings.alarm_query[0] == '\0')
        return true;
    const shell_command shell(settings.alarm_query);
    child_spec job;
    job.argv = shell.argv;
    job.deadline_ms = alarm_query_deadline_ms;
    job.output_cap = alarm_query_output_cap;
    job.kill_leftovers = true;
    std::string output;
    const child_outcome outcome = child_run(job, &output);
    int64_t time = 0;
    if (outcome.result != child_done || !WIFEXITED(outcome.status) || WEXITSTATUS(outcome.status) != 0 ||
        !parse_query_time(output, time))
        return false;
    if (time != 0)
        plan_consider(plan, now, time, "query");
    return true;
}

}  // namespace

bool wake_plan_make(time_t now, wake_plan& plan, std::string& what)
{
    plan = {};
    if (!plan_timers(now, plan)) {
        plan = {};
        what = tr("systemd のタイマー（ALARM_TIMERS=）");
        return false;
    }
    plan_at(now, plan);
    if (!plan_query(now, plan)) {
        plan = {};
        what = text_format(tr("起動予定の問い合わせコマンド（%s）"), text_escape(settings.alarm_query).c_str());
        return false;
    }
    plan.made = true;
    if (plan.earliest != 0)
        plan.moment = plan.earliest - settings.alarm_lead;
    return true;
}

bool wake_too_close(const wake_plan& plan, time_t now)
{
    return plan.earliest != 0 && plan.moment - static_cast<int64_t>(now) < 2 * static_cast<int64_t>(settings.alarm_lead);
}

std::string wake_time_text(int64_t moment)
{
    const time_t at = static_cast<time_t>(moment);
    tm local{};
    char text[32];
    if (localtime_r(&at, &local) == nullptr || strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local) == 0)
        return std::to_string(moment);
    return text;
}

void alarm_check(activity_check& check)
{
    if (!alarm_settings_on())
        return;
    const time_t now = watch_unix_time();
    std::string what;
    const bool answered = wake_plan_make(now, check.wake, what);
    if (!answered)
        alarm_failing_what = what;
    source_findings found;
    if (answered && wake_too_close(check.wake, now))
        findings_add(found, check.wake.source, std::to_string(check.wake.earliest));
    source_report(check, alarm_health, answered, found, alarm_failing_what.c_str(), tr("(起動予定が近い)"),
                  "alarm");
}

void alarm_describe()
{
    if (alarm_settings_on()) {
        const time_t now = watch_unix_time();
        wake_plan plan;
        std::string what;
        printf(tr("// 起動予約（今満了した場合）："));
        if (!wake_plan_make(now, plan, what))
            printf(tr("%sを確認できません\n"), what.c_str());
        else if (plan.earliest == 0)
            printf(tr("なし（起動予定の時刻がありません）\n"));
        else
            printf(wake_too_close(plan, now) ? tr("%s（%s）、近いため今は満了しません\n") : tr("%s（%s）\n"),
                   wake_time_text(plan.moment).c_str(), text_escape(plan.source).c_str());
    }
    for_each_list_item(settings.lan_wake, [](std::string_view item) {
        const std::string name(item);
        printf(tr("// LAN_WAKE= %s：%s\n"), text_escape(name).c_str(),
               lan_wake_support_text(lan_wake_read(name.c_str())).c_str());
    });
}

void alarm_reset()
{
    alarm_query_deadline_ms = alarm_query_deadline_ms_default;
    alarm_health = {};
    alarm_failing_what.clear();
    lan_wake_reset();
    system_bus_reset();
}
