#include "report/report.h"

#include <climits>
#include <cstdio>
#include <unistd.h>
#include <utility>

#include "base/settings.h"
#include "base/watchdog.h"
#include "report/metrics.h"
#include "report/notify.h"
#include "report/status_file.h"
#include "sampling/drive.h"
#include "sampling/traffic.h"

report_state_record report_state = {status_record{0, 0, false, 0, 0, 0, "none", 0, {}, 0}, {}, false, false};
const char* report_proc_path = report_proc_path_default;

namespace {

void take_pair(const char* kind, const char* name, const char* unit, const char* first, uint64_t first_growth,
               uint64_t first_threshold, const char* second, uint64_t second_growth, uint64_t second_threshold)
{
    report_state.growth.push_back({kind, name, first, unit, first_growth, first_threshold});
    report_state.growth.push_back({kind, name, second, unit, second_growth, second_threshold});
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
    report_state = {status_record{0, 0, false, 0, 0, 0, "none", 0, {}, 0}, {}, false, false};
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
    watchdog_start();
    const std::string warning = watchdog_warning(watchdog_period_usec(), settings.disp_interval);
    if (!warning.empty())
        (void)fputs(warning.c_str(), stdout);
    status_publish();
    notify_send("READY=1\nSTATUS=" + notify_summary(report_state.status));
}

void report_take_growth()
{
    report_state.growth.clear();
    if (network_watched()) {
        for (const traffic_entry* e = traffic_data; e != nullptr; e = e->next)
            take_pair("net", e->name.c_str(), "bytes", "rx", e->rx_increased, settings.rx_threshold, "tx",
                      e->tx_increased, settings.tx_threshold);
    }
    if (disk_watched()) {
        for (const drive_entry* e = drive_data; e != nullptr; e = e->next)
            take_pair("disk", e->name.c_str(), "kilobytes", "read", e->read_increased, settings.read_threshold, "write",
                      e->write_increased, settings.write_threshold);
    }
}

void report_add_growth_reasons(activity_check& check)
{
    for (const growth_item& item : report_state.growth) {
        if (item.threshold != 0 && item.growth > item.threshold)
            activity_add_reason(check, std::string(item.kind) + ":" + item.name + ":" + item.direction + ":" +
                                           std::to_string(item.growth));
    }
}

void report_expiry()
{
    report_state.status.expiries++;
}

void report_check(const activity_check& check, int idle_seconds, time_t now)
{
    status_record& s = report_state.status;
    s.idle_seconds = idle_seconds;
    s.checks++;
    s.last_check = static_cast<int64_t>(now);
    s.last_verdict = check.busy ? "busy" : "idle";
    if (check.busy) {
        s.last_busy = static_cast<int64_t>(now);
        s.busy_reasons = check.reasons;
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
