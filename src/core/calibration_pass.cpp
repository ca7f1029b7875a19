#include "core/calibration_pass.h"

#include <cstdint>
#include <string>

#include "activity/sources.h"
#include "base/activity.h"
#include "base/settings.h"
#include "base/text_escape.h"
#include "calibrate/calibration.h"
#include "calibrate/calibration_report.h"
#include "devices/registry.h"
#include "devices/watcher.h"
#include "sampling/drive.h"
#include "sampling/traffic.h"

namespace {

int64_t checks_planned = 0;
int64_t checks_done = 0;

// The activity sources as their reason tokens name them, and whether each
// is switched on.
struct source_switch {
    const char* kind;
    bool (*on)();
};

const source_switch source_switches[] = {
    {"session", [] { return settings.user_sessions != user_sessions_off; }},
    {"inhibitor", [] { return settings.inhibitors != 0; }},
    {"process", [] { return settings.busy_processes[0] != '\0'; }},
    {"cpu", [] { return settings.cpu_threshold > 0; }},
    {"port", [] { return settings.busy_ports[0] != '\0'; }},
    {"check", [] { return settings.busy_check[0] != '\0'; }},
};

template <typename Entry>
void feed_counters(const Entry* head, calibration_kind kind, uint64_t Entry::*in, uint64_t Entry::*out)
{
    for (const Entry* e = head; e != nullptr; e = e->next) {
        calibration_feed(e->name.c_str(), kind, calibration_in, e->*in);
        calibration_feed(e->name.c_str(), kind, calibration_out, e->*out);
    }
}

// Each registered device by its event handler, or by the name it was asked
// for while no handler holds it yet; 1 when its bit was set.
void feed_devices()
{
    const uint32_t mask = device_operation.exchange(0);
    for (const device_entry* d = device_data; d != nullptr; d = d->next) {
        char event[event_name_max + 1];
        device_event_read(d, event);
        const std::string name = text_escape(event[0] != '\0' || d->name == nullptr ? event : d->name);
        const uint32_t bit = 1u << (static_cast<unsigned>(d->index) % 32);
        calibration_feed(name.c_str(), calibration_input, calibration_none, (mask & bit) != 0 ? 1 : 0);
    }
}

// The switched-on sources asked once, in their usual order; each one's
// verdict is read from its reason tokens.
void feed_sources()
{
    activity_check check;
    activity_sources_check(check);
    for (const source_switch& source : source_switches) {
        if (!source.on())
            continue;
        const std::string prefix = std::string(source.kind) + ":";
        bool busy = false;
        for (const std::string& reason : check.reasons)
            busy = busy || reason.compare(0, prefix.size(), prefix) == 0;
        calibration_feed(("活動源 " + std::string(source.kind)).c_str(), calibration_source,
                         calibration_none, busy ? 1 : 0);
    }
}

}  // namespace

void calibration_pass_begin(int minutes)
{
    const int64_t seconds = static_cast<int64_t>(minutes) * 60;
    checks_planned = seconds / settings.check_interval;
    if (checks_planned < 1)
        checks_planned = 1;
    checks_done = 0;
    drive_every_disk = true;
}

void calibration_pass_sample()
{
    get_traffic_data();
    get_drive_data();
}

bool calibration_pass_check()
{
    feed_counters(traffic_data, calibration_interface, &traffic_entry::rx_increased, &traffic_entry::tx_increased);
    feed_counters(drive_data, calibration_disk, &drive_entry::read_increased, &drive_entry::write_increased);
    // The samplers' own checks clear the growth for the next period.
    activity_check ignored;
    traffic_data_check(ignored);
    drive_data_check(ignored);
    feed_devices();
    feed_sources();
    calibration_check_done();
    checks_done++;
    const int64_t left = (checks_planned - checks_done) * settings.check_interval;
    calibration_progress_print(left > INT32_MAX ? INT32_MAX : static_cast<int>(left),
                               static_cast<int>(checks_done));
    return checks_done < checks_planned;
}

void calibration_pass_end()
{
    drive_every_disk = false;
}
