#include "report/report.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <cstdio>
#include <unistd.h>
#include <utility>

#include "base/settings.h"
#include "base/source_table.h"
#include "base/watchdog.h"
#include "report/metrics.h"
#include "report/notify.h"
#include "report/status_file.h"

report_state_record report_state = {status_record{0, 0, false, 0, 0, 0, "none", 0, {}, 0, {}, {}}, {}, false, false};
const char* report_proc_path = report_proc_path_default;

namespace {

// Every switched-on source: whether it answered and whether check names it.
std::vector<source_state> source_states(const activity_check& check)
{
    std::vector<source_state> states;
    for (std::size_t i = 0; i < source_table_size; i++) {
        const source_row& row = source_table[i];
        if (!row.on())
            continue;
        const bool busy = std::any_of(check.reasons.begin(), check.reasons.end(),
                                      [&](const reason& r) { return strcmp(r.kind, row.kind) == 0; });
        states.push_back({row.kind, source_answering(row), busy});
    }
    return states;
}

// Rewrites both files and sends the status line.
void publish_all()
{
    status_publish();
    metrics_publish();
    notify_send("STATUS=" + notify_summary(report_state.status));
}

// The record as at process start.
void clear_state()
{
    report_state = {status_record{0, 0, false, 0, 0, 0, "none", 0, {}, 0, {}, {}}, {}, false, false};
}

}  // namespace

void report_reset()
{
    clear_state();
    watchdog_reset();
    report_proc_path = report_proc_path_default;
}

void report_start(time_t now)
{
    clear_state();
    report_state.status.pid = getpid();
    report_state.status.started = static_cast<int64_t>(now);
    report_state.status.sources = source_states(activity_check());
    watchdog_start();
    const std::string warning = watchdog_warning(watchdog_period_usec(), settings.disp_interval);
    if (!warning.empty())
        (void)fputs(warning.c_str(), stdout);
    status_publish();
    notify_send("READY=1\nSTATUS=" + notify_summary(report_state.status));
}

void report_expiry()
{
    report_state.status.expiries++;
}

void report_check(activity_check check, int idle_seconds, time_t now)
{
    status_record& s = report_state.status;
    s.idle_seconds = idle_seconds;
    s.checks++;
    s.last_check = static_cast<int64_t>(now);
    s.last_verdict = check.busy ? "busy" : "idle";
    s.sources = source_states(check);
    s.wake = std::move(check.wake);
    report_state.growth = std::move(check.growth);
    if (check.busy) {
        s.last_busy = static_cast<int64_t>(now);
        s.busy_reasons = std::move(check.reasons);
    }
    publish_all();
}

void report_pass()
{
    watchdog_keep();
}

void report_end()
{
    report_state.status.ended = true;
    status_publish();
    notify_send("STOPPING=1");
}
