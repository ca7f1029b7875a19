// The table of sources. A new source is one file of its own (its check,
// reset and health) and one row here, after the others: its texts and
// reasons then follow theirs.
#include "core/sources.h"

#include "activity/busy_check.h"
#include "activity/cpu.h"
#include "activity/hours.h"
#include "activity/logind.h"
#include "activity/ping_hosts.h"
#include "activity/ports.h"
#include "activity/processes.h"
#include "activity/storage.h"
#include "activity/share_clients.h"
#include "activity/wake_plan.h"
#include "base/settings.h"
#include "base/source_table.h"
#include "base/stop.h"
#include "devices/registry.h"
#include "devices/watcher.h"
#include "sampling/drive.h"
#include "sampling/traffic.h"

// kind, on, check, reset, health, sample, display, describe, origin, calibration
const source_row source_table[] = {
    {"input", [] { return device_data != nullptr; }, device_check, devices_reset, &input_health, nullptr, nullptr,
     devices_describe, nullptr, calibrate_devices},
    {"net", network_watched, traffic_data_check, traffic_data_clear, &traffic_table.health, get_traffic_data,
     disp_traffic_data, traffic_describe, traffic_origin, calibrate_growth},
    {"disk", disk_watched, drive_data_check, drive_data_clear, &drive_table.health, get_drive_data, drive_data_disp,
     drive_describe, drive_origin, calibrate_growth},
    {"session", [] { return settings.user_sessions != user_sessions_off; }, session_check, logind_reset,
     &session_health, nullptr, nullptr, nullptr, nullptr, calibrate_verdict},
    {"inhibitor", [] { return settings.inhibitors != 0; }, inhibitor_check, nullptr, &inhibitor_health, nullptr,
     nullptr, nullptr, nullptr, calibrate_verdict},
    {"process", [] { return settings.busy_processes[0] != '\0'; }, process_check, process_reset, &process_health,
     nullptr, nullptr, nullptr, nullptr, calibrate_verdict},
    {"cpu", [] { return settings.cpu_threshold > 0; }, cpu_check, cpu_reset, &cpu_health, nullptr, nullptr,
     nullptr, nullptr, calibrate_verdict},
    {"port", [] { return settings.busy_ports[0] != '\0'; }, port_check, port_reset, &port_health, nullptr, nullptr,
     nullptr, nullptr, calibrate_verdict},
    {"check", [] { return settings.busy_check[0] != '\0'; }, busy_command_check, busy_command_reset,
     &busy_check_health, nullptr, nullptr, nullptr, nullptr, calibrate_verdict},
    // Storage asks the whole disks that the disk source watches for SMART
    // self-tests.
    {"storage", [] { return settings.storage_jobs != 0; },
     [](activity_check& check) { storage_check(check, drive_whole_disks()); }, storage_reset, &storage_health,
     nullptr, nullptr, [] { storage_describe(drive_whole_disks()); }, nullptr, calibrate_verdict},
    {"hours", [] { return settings.awake_hours[0] != '\0'; }, hours_check, nullptr, nullptr, nullptr, nullptr,
     nullptr, nullptr, calibrate_verdict},
    {"share", [] { return settings.share_clients != 0; }, share_check, share_reset, &share_health, nullptr, nullptr,
     nullptr, nullptr, calibrate_verdict},
    {"ping", [] { return settings.ping_hosts[0] != '\0'; }, ping_check, ping_hosts_reset, &ping_health, nullptr,
     nullptr, nullptr, nullptr, calibrate_verdict},
    {"alarm", alarm_settings_on, alarm_check, alarm_reset, &alarm_health, nullptr, nullptr, alarm_describe, nullptr,
     calibrate_verdict},
};

const std::size_t source_table_size = sizeof source_table / sizeof source_table[0];

void sources_pass()
{
    for (const source_row& row : source_table) {
        if (row.sample != nullptr && row.on()) {
            row.sample();
            row.display();
        }
    }
}

void sources_check(activity_check& check)
{
    for (const source_row& row : source_table) {
        if (stop_requested())
            return;
        if (row.on())
            row.check(check);
    }
}

void sources_reset()
{
    for (const source_row& row : source_table) {
        if (row.reset != nullptr)
            row.reset();
    }
}
