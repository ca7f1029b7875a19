#include "base/settings.h"

namespace {
constexpr settings_record default_settings = {
    1,        // disp_level
    1,        // watch_roop
    10,       // disp_interval
    600,      // exfire_time (10 minutes)
    60,       // check_interval
    1048576,  // rx_threshold
    0,        // tx_threshold
    1024,     // read_threshold
    1024,     // write_threshold
    {},       // command
    counter_source_commands,
    "sd",     // disk_prefixes
    // A notice before acting and the dry run: all off, so that nothing
    // changes until asked for.
    0,        // notice_time (entered in minutes, held in seconds)
    {},       // notice_run
    0,        // dry_run
    {},       // status_path (off)
    {},       // metrics_path (off)
    // Activity sources: all off.
    user_sessions_off,
    0,        // inhibitors
    {},       // busy_processes
    0,        // cpu_threshold
    {},       // busy_ports
    {},       // busy_check
    {},       // ignore_interfaces
    0,        // calibrate_minutes (watch)
};
}  // namespace

settings_record settings = default_settings;

void settings_reset()
{
    settings = default_settings;
}

bool network_watched()
{
    return settings.rx_threshold != 0 || settings.tx_threshold != 0;
}

bool disk_watched()
{
    return settings.read_threshold != 0 || settings.write_threshold != 0;
}
