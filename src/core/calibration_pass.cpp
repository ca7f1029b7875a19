#include "core/calibration_pass.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "base/activity.h"
#include "base/messages.h"
#include "base/settings.h"
#include "base/source_table.h"
#include "base/text_escape.h"
#include "calibrate/calibration.h"
#include "calibrate/calibration_report.h"
#include "devices/registry.h"
#include "sampling/drive.h"

namespace {

int64_t checks_planned = 0;
int64_t checks_done = 0;

// Every counter's growth in the period, as the counter sources gave it.
void feed_growth(const activity_check& check)
{
    for (const growth_item& item : check.growth) {
        const calibration_kind kind = strcmp(item.kind, "net") == 0 ? calibration_interface : calibration_disk;
        // Named as printed: a name from the kernel may hold anything.
        calibration_feed(text_escape(item.name).c_str(), kind, item.side == 0 ? calibration_in : calibration_out,
                         item.growth);
    }
}

// Whether check holds a reason of kind (and subject, when given).
bool has_reason(const activity_check& check, const char* kind, const char* subject = nullptr)
{
    return std::any_of(check.reasons.begin(), check.reasons.end(), [&](const reason& r) {
        return strcmp(r.kind, kind) == 0 && (subject == nullptr || r.subject == subject);
    });
}

// Each registered device by its event handler, or by the name it was asked
// for while no handler holds it yet; 1 when it had events.
void feed_devices(const activity_check& check, const char* kind)
{
    for (const device_entry* d = device_data; d != nullptr; d = d->next) {
        char event[event_name_max + 1];
        device_event_read(d, event);
        const std::string name = text_escape(event[0] != '\0' || d->name == nullptr ? event : d->name);
        const bool used = event[0] != '\0' && has_reason(check, kind, event);
        calibration_feed(name.c_str(), calibration_input, calibration_none, used ? 1 : 0);
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
    // Every counter is sampled, whatever its thresholds.
    for (std::size_t i = 0; i < source_table_size; i++) {
        if (source_table[i].calibration == calibrate_growth)
            source_table[i].sample();
    }
}

bool calibration_pass_check()
{
    // Counters and devices are asked whatever the settings; the other
    // sources while switched on, each recorded by its verdict.
    activity_check check;
    check.growth_wanted = true;
    for (std::size_t i = 0; i < source_table_size; i++) {
        const source_row& row = source_table[i];
        if (row.calibration != calibrate_verdict || row.on())
            row.check(check);
    }
    feed_growth(check);
    for (std::size_t i = 0; i < source_table_size; i++) {
        const source_row& row = source_table[i];
        if (row.calibration == calibrate_devices)
            feed_devices(check, row.kind);
        else if (row.calibration == calibrate_verdict && row.on())
            calibration_feed(text_format(tr("活動源 %s"), row.kind).c_str(), calibration_source, calibration_none,
                             has_reason(check, row.kind) ? 1 : 0);
    }
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
