// Run settings: one process-wide record, filled at start-up by the
// configuration file or the command line, read-only once watching starts.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t command_size = 512;  // expiry command, 511 bytes + NUL
constexpr std::size_t disk_prefixes_size = 256;
constexpr std::size_t notice_run_size = 512;  // notice command, 511 bytes + NUL
constexpr std::size_t report_path_size = 1024;  // status and metrics file paths

// Sizes of the activity sources' lists and command.
constexpr std::size_t busy_processes_size = 512;    // comma-separated name patterns
constexpr std::size_t busy_ports_size = 256;        // comma-separated TCP ports
constexpr std::size_t busy_check_size = 512;        // check command, 511 bytes + NUL
constexpr std::size_t ignore_interfaces_size = 256; // comma-separated interface patterns
constexpr std::size_t awake_hours_size = 256;       // comma-separated windows of local time
constexpr std::size_t ping_hosts_size = 512;        // comma-separated host names or addresses

// Sizes of the wake-up settings.
constexpr std::size_t alarm_timers_size = 512;  // comma-separated timer unit patterns
constexpr std::size_t alarm_at_size = 256;      // comma-separated times of day
constexpr std::size_t alarm_query_size = 512;   // query command, 511 bytes + NUL
constexpr std::size_t lan_wake_size = 256;      // comma-separated interface names

// Where the samplers read the traffic and disk counters.
enum counter_source_kind : int32_t {
    counter_source_commands = 0,  // "ifconfig" and "iostat"
    counter_source_kernel = 1,    // /proc/net/dev and the kernel's disk statistics
};

// Which login sessions count as activity.
enum user_sessions_kind : int32_t {
    user_sessions_off = 0,
    user_sessions_any = 1,     // any session of class "user"
    user_sessions_active = 2,  // only such sessions that are not idle
};

// The file servers whose clients holding a file open count, as bits of
// settings.share_clients, in the order of their words ("smb", "nfs").
enum share_clients_bits : int32_t {
    share_clients_smb = 1,
    share_clients_nfs = 2,
};

// Each field holds its default; a new setting is one field here.
struct settings_record {
    int32_t disp_level = 1;         // 0 none, 1 watched parts, 2 all, 3 details
    int32_t watch_roop = 1;         // > 0: keep watching after an expiry
    int32_t disp_interval = 10;     // seconds between sampling passes
    int32_t exfire_time = 600;      // idle seconds before the expiry action
    int32_t check_interval = 60;    // seconds between idle/busy decisions
    uint64_t rx_threshold = 1048576;  // bytes per check period, 0 = unwatched
    uint64_t tx_threshold = 0;        // bytes per check period, 0 = unwatched
    uint64_t read_threshold = 1024;   // KB per check period, 0 = unwatched
    uint64_t write_threshold = 1024;  // KB per check period, 0 = unwatched
    char command[command_size] = {};  // empty: sync x3, then shutdown -h now
    int32_t counter_source = counter_source_commands;  // a counter_source_kind
    char disk_prefixes[disk_prefixes_size] = "sd";      // comma-separated name prefixes of watched disks
    // Confidence before acting: all off, so that nothing changes until asked for.
    int32_t notice_time = 0;                  // seconds of notice before the expiry action, 0 = none
    char notice_run[notice_run_size] = {};    // run once when the notice is given; empty: none
    int32_t dry_run = 0;                      // non-zero: at expiry, say what would run and run nothing

    // Reports for people and for monitoring, both off while empty: the
    // status file rewritten after every check, and the metrics file in the
    // Prometheus text format for node_exporter's textfile collector.
    char status_path[report_path_size] = {};
    char metrics_path[report_path_size] = {};

    // Activity sources beside the counters and devices, each off by default.
    int32_t user_sessions = user_sessions_off;            // a user_sessions_kind
    int32_t inhibitors = 0;                                // 1: logind inhibitor locks make a check busy
    char busy_processes[busy_processes_size] = {};        // process names, shell wildcards allowed
    int32_t cpu_threshold = 0;                             // non-idle CPU percent, 0 = unwatched
    char busy_ports[busy_ports_size] = {};                // local TCP ports of connections that count
    char busy_check[busy_check_size] = {};                // run at each check, exit 0 = busy
    char ignore_interfaces[ignore_interfaces_size] = {};  // interface patterns no source records
    int32_t storage_jobs = 0;                              // 1: md syncs, scrubs and SMART self-tests make a check busy
    char awake_hours[awake_hours_size] = {};              // windows in which every check is busy (base/day_time.h)
    int32_t share_clients = 0;                             // share_clients_bits; 0 = unwatched
    char ping_hosts[ping_hosts_size] = {};                // hosts whose answer to a ping counts

    // Minutes of calibration instead of watching (command line only); 0: watch.
    int32_t calibrate_minutes = 0;

    // Coming back after a power-off, all off by default: the times to be up
    // again by, how long before the earliest the RTC alarm wakes the machine,
    // and the interfaces whose Wake-on-LAN must be on when it goes down.
    char alarm_timers[alarm_timers_size] = {};  // systemd timer unit patterns
    char alarm_at[alarm_at_size] = {};          // times of day, "Mon-Fri 06:30,Sat 09:00"
    char alarm_query[alarm_query_size] = {};    // prints the next time in Unix seconds
    int32_t alarm_lead = 300;                   // seconds, 1 to 1440 minutes
    char lan_wake[lan_wake_size] = {};          // interface names
};

extern settings_record settings;

// What the expiry action runs when no command is set, as one command line.
constexpr const char* default_expiry_text = "sync; sync; sync; shutdown -h now";

// Puts every setting back to its default.
void settings_reset();

// Network sampling runs while either network threshold is non-zero,
// disk sampling while either disk threshold is.
bool network_watched();
bool disk_watched();

// A wake-up time is looked for while ALARM_TIMERS=, ALARM_AT= or
// ALARM_QUERY= is set; the way back is armed at expiry while one of them or
// LAN_WAKE= is.
bool alarm_settings_on();
bool wake_settings_on();
