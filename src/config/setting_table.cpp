#include "config/setting_table.h"

#include <cstring>

#include "base/settings.h"
#include "config/config_values.h"
#include "devices/registry.h"

namespace {

constexpr uint64_t kb = 1024;
constexpr uint64_t mb = 1048576;

constexpr setting_descriptor text_row(const char* key, const char* short_option, const char* long_option, setting_kind kind)
{
    return {key, short_option, long_option, kind, 1, nullptr, nullptr};
}

constexpr setting_descriptor threshold_row(const char* key, const char* short_option, const char* long_option,
                                 uint64_t* setting, uint64_t factor)
{
    return {key, short_option, long_option, kind_threshold, factor, setting, nullptr};
}

constexpr setting_descriptor number_row(const char* key, const char* short_option, const char* long_option,
                              setting_kind kind, int32_t* setting)
{
    return {key, short_option, long_option, kind, 1, nullptr, setting};
}

}  // namespace

// A new setting is one row here plus its item in the help. Rows are only
// ever appended, and a new key must not contain an earlier one, nor a new
// option one of the family patterns "-rx", "-tx", "-r", "-w": otherwise an
// earlier row would claim it.
constexpr setting_descriptor setting_table[] = {
    text_row("COMMAND=", "-c", "--command", kind_command),
    text_row("FILE=", "-f", "--file", kind_file),
    text_row("DEVICE_NAME=", "-dv", "--device_name", kind_device_name),
    threshold_row("RX_THRESHOLD=", "-rx", "--rx_threshold", &settings.rx_threshold, 1),
    threshold_row("RX_THRESHOLD_KB=", "-rxk", "--rx_threshold_kb", &settings.rx_threshold, kb),
    threshold_row("RX_THRESHOLD_MB=", "-rxm", "--rx_threshold_mb", &settings.rx_threshold, mb),
    threshold_row("TX_THRESHOLD=", "-tx", "--tx_threshold", &settings.tx_threshold, 1),
    threshold_row("TX_THRESHOLD_KB=", "-txk", "--tx_threshold_kb", &settings.tx_threshold, kb),
    threshold_row("TX_THRESHOLD_MB=", "-txm", "--tx_threshold_mb", &settings.tx_threshold, mb),
    // Disk thresholds are held in KB: their "MB" unit is 1024.
    threshold_row("READ_THRESHOLD=", "-r", "--read_threshold", &settings.read_threshold, 1),
    threshold_row("READ_THRESHOLD_MB=", "-rm", "--read_threshold_mb", &settings.read_threshold, kb),
    threshold_row("WRITE_THRESHOLD=", "-w", "--write_threshold", &settings.write_threshold, 1),
    threshold_row("WRITE_THRESHOLD_MB=", "-wm", "--write_threshold_mb", &settings.write_threshold, kb),
    number_row("EXFIRE_TIME=", "-ex", "--exfire_time", kind_minutes, &settings.exfire_time),
    number_row("CHECK_INTERVAL=", "-ci", "--check_interval", kind_seconds, &settings.check_interval),
    number_row("DISP_INTERVAL=", "-di", "--disp_interval", kind_seconds, &settings.disp_interval),
    number_row("DISP_LEVEL=", "-l", "--disp_level", kind_level, &settings.disp_level),
    text_row("NOT_ROOP", "-n", "--not_roop", kind_not_roop),
    text_row(nullptr, "-h", "--help", kind_help),
    text_row("EVENT=", "-ev", "--event", kind_event),
    text_row("COUNTER_SOURCE=", "-so", "--counter_source", kind_counter_source),
    text_row("DISK_PREFIXES=", "-dp", "--disk_prefixes", kind_disk_prefixes),
    // A notice before acting, a dry run, and calibration instead of watching.
    number_row("NOTICE_TIME=", "-nt", "--notice_time", kind_minutes, &settings.notice_time),
    text_row("NOTICE_RUN=", "-nr", "--notice_run", kind_notice_run),
    text_row("DRY_RUN=", "-dr", "--dry_run", kind_dry_run),
    number_row(nullptr, "-cal", "--calibrate", kind_calibrate, &settings.calibrate_minutes),
    // Activity sources: each off until its value switches it on.
    text_row("USER_SESSIONS=", "-us", "--user_sessions", kind_user_sessions),
    text_row("INHIBITORS=", "-ib", "--inhibitors", kind_inhibitors),
    text_row("BUSY_PROCESSES=", "-bp", "--busy_processes", kind_busy_processes),
    number_row("CPU_THRESHOLD=", "-cp", "--cpu_threshold", kind_percent, &settings.cpu_threshold),
    text_row("BUSY_PORTS=", "-pt", "--busy_ports", kind_busy_ports),
    text_row("BUSY_CHECK=", "-bc", "--busy_check", kind_busy_check),
    text_row("IGNORE_INTERFACES=", "-ii", "--ignore_interfaces", kind_ignore_interfaces),
    // Reports on what the program sees and does.
    text_row("STATUS_PATH=", "-sp", "--status_path", kind_status_path),
    text_row("METRICS_PATH=", "-mp", "--metrics_path", kind_metrics_path),
    text_row(nullptr, "-st", "--status", kind_status_show),
    text_row(nullptr, "-t", "--test_config", kind_test_config),
    text_row(nullptr, "--version", "--version", kind_version),
};

const std::size_t setting_table_size = sizeof setting_table / sizeof setting_table[0];

const setting_descriptor* setting_key_find(const char* line, const char** value)
{
    for (const setting_descriptor& row : setting_table) {
        if (row.key == nullptr)
            continue;
        const char* found = strstr(line, row.key);
        if (found != nullptr) {
            *value = found + strlen(row.key);
            return &row;
        }
    }
    return nullptr;
}

namespace {

bool family_head(const setting_descriptor& row)
{
    return row.kind == kind_threshold && row.factor == 1;
}

bool option_equals(const setting_descriptor& row, const char* arg)
{
    return strcmp(arg, row.short_option) == 0 || strcmp(arg, row.long_option) == 0;
}

// Within the family that head starts: the row whose exact text arg is (its
// unit factor applies), else the head itself (factor 1).
const setting_descriptor* family_member(const setting_descriptor* head, const char* arg)
{
    const setting_descriptor* end = setting_table + setting_table_size;
    for (const setting_descriptor* row = head + 1; row != end && row->threshold == head->threshold; row++) {
        if (option_equals(*row, arg))
            return row;
    }
    return head;
}

}  // namespace

const setting_descriptor* setting_option_find(const char* arg)
{
    for (const setting_descriptor& row : setting_table) {
        if (family_head(row)) {
            if (strstr(arg, row.short_option) != nullptr)
                return family_member(&row, arg);
        } else if (row.kind != kind_threshold && option_equals(row, arg)) {
            return &row;
        }
    }
    return nullptr;
}

bool setting_takes_text(const setting_descriptor& row)
{
    switch (row.kind) {
    case kind_command:
    case kind_file:
    case kind_device_name:
    case kind_event:
    case kind_counter_source:
    case kind_disk_prefixes:
    case kind_notice_run:
    case kind_dry_run:
    case kind_user_sessions:
    case kind_inhibitors:
    case kind_busy_processes:
    case kind_busy_ports:
    case kind_busy_check:
    case kind_ignore_interfaces:
    case kind_status_path:
    case kind_metrics_path: return true;
    default: return false;
    }
}

bool setting_value_apply(const setting_descriptor& row, const char* value)
{
    switch (row.kind) {
    case kind_device_name: add_device_by_device_name(value); return true;
    case kind_event: add_device_by_event_name(value); return true;
    // Both sources saturate a value that does not fit in 64 bits after its
    // unit factor: a wrap could land on 0 and silently stop the watching.
    case kind_threshold: *row.threshold = config_scaled(config_unsigned(value), row.factor); return true;
    case kind_minutes: config_set_minutes(row.number, value); return true;
    case kind_seconds: config_set_positive(row.number, value); return true;
    case kind_counter_source: return config_counter_source(value, &settings.counter_source);
    case kind_disk_prefixes: return config_set_disk_prefixes(value);
    case kind_dry_run: return config_on_off(value, &settings.dry_run);
    // A calibration that did not understand its length must not start
    // watching (and acting) instead.
    case kind_calibrate: return config_take_positive(row.number, value);
    // Values that do not fit or say nothing known are refused, never cut
    // or guessed: a source silently left off could power off a machine in use.
    case kind_user_sessions: return config_user_sessions(value, &settings.user_sessions);
    case kind_inhibitors: return config_on_off(value, &settings.inhibitors);
    case kind_percent: return config_percent(value, row.number);
    case kind_busy_processes:
        return config_set_name_list(value, settings.busy_processes, sizeof settings.busy_processes);
    case kind_busy_ports: return config_set_port_list(value);
    case kind_busy_check: return config_set_text(value, settings.busy_check, sizeof settings.busy_check);
    case kind_ignore_interfaces:
        return config_set_name_list(value, settings.ignore_interfaces, sizeof settings.ignore_interfaces);
    case kind_status_path: return config_set_report_path(settings.status_path, value);
    case kind_metrics_path: return config_set_report_path(settings.metrics_path, value);
    default: return false;  // each source handles the others itself
    }
}
