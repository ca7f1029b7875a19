// The settings that the configuration file and the command line both fill:
// one row per key and option, read by both sources, so that a value is
// converted the same way wherever it comes from.
#pragma once

#include <cstddef>
#include <cstdint>

// What a row's value is and where it goes.
enum setting_kind {
    kind_command,         // the expiry command
    kind_file,            // a further configuration file
    kind_device_name,     // a device to watch, by listing name
    kind_threshold,       // unsigned, times the row's factor, into *threshold
    kind_minutes,         // the expiry time: minutes taken when > 0, held in seconds
    kind_seconds,         // an interval, taken when > 0, into *number
    kind_level,           // the display level, into *number
    kind_not_roop,        // no value: end after the first expiry
    kind_help,            // no value, command line only: print the help
    kind_event,           // devices to watch, by event handler name
    kind_counter_source,  // "command" or "kernel"
    kind_disk_prefixes,   // comma-separated disk name prefixes
    kind_notice_run,      // the notice command
    kind_dry_run,         // file: "on" or "off"; command line: no value, on
    kind_calibrate,       // minutes of calibration, command line only, > 0
    // The activity sources beside the counters and devices.
    kind_user_sessions,      // "off", "any" or "active"
    kind_inhibitors,         // "off" or "on"
    kind_busy_processes,     // comma-separated process name patterns
    kind_percent,            // a whole percentage 0-100, into *number
    kind_busy_ports,         // comma-separated TCP ports
    kind_busy_check,         // the check command
    kind_ignore_interfaces,  // comma-separated interface name patterns
    // Reports: where they are written, and the options that only report.
    kind_status_path,     // the status file's path, "off": none
    kind_metrics_path,    // the metrics file's path, "off": none
    kind_status_show,     // no value, command line only: print the status file and end
    kind_test_config,     // no value, command line only: print the settings, start nothing
    kind_version,         // no value, command line only: print the version and end
};

struct setting_descriptor {
    const char* key;           // file key, found anywhere in a line; nullptr: none
    const char* short_option;  // option texts, matched exactly (thresholds: see below);
                               // a row without a short form repeats its long one
    const char* long_option;
    setting_kind kind;
    uint64_t factor;      // kind_threshold: unit factor of the value
    uint64_t* threshold;  // kind_threshold: the setting
    int32_t* number;      // kind_minutes, kind_seconds, kind_level: the setting
};

// In the order in which keys are searched in a line and options compared.
// A threshold row of factor 1 heads its family: every option that contains
// its short form belongs to the family, and the rows that follow it with the
// same setting give the unit factors of their exact texts.
extern const setting_descriptor setting_table[];
extern const std::size_t setting_table_size;

// The row of the first key, in table order, that occurs anywhere in line,
// with *value pointing just after that key's first occurrence; nullptr when
// the line holds no key.
const setting_descriptor* setting_key_find(const char* line, const char** value);

// The row of an option: the first row in table order whose option equals
// arg, a threshold family containing arg's pattern standing in its place.
// nullptr when no row matches.
const setting_descriptor* setting_option_find(const char* arg);

// True for rows whose value is text taken as it stands (no number).
bool setting_takes_text(const setting_descriptor& row);

// Applies a value of a row that both sources treat alike: devices,
// thresholds, expiry time, intervals, counter source, disk prefixes, notice
// time, dry run, calibration minutes, the activity sources' settings and
// report paths. Returns false, with the setting left alone, when the value
// is refused.
bool setting_value_apply(const setting_descriptor& row, const char* value);
