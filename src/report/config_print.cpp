#include "report/config_print.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "base/config_line.h"
#include "base/settings.h"
#include "base/source_table.h"
#include "base/version.h"
#include "report/status_file.h"

namespace {

void print_text(const char* key, std::string_view value)
{
    config_line_print(key, value);
}

void print_path(const char* key, const char* path)
{
    print_text(key, path[0] == '\0' ? "off" : path);
}

void print_settings()
{
    print_text("COMMAND=", expiry_action_text());
    printf("RX_THRESHOLD=%" PRIu64 "\n", settings.rx_threshold);
    printf("TX_THRESHOLD=%" PRIu64 "\n", settings.tx_threshold);
    printf("READ_THRESHOLD=%" PRIu64 "\n", settings.read_threshold);
    printf("WRITE_THRESHOLD=%" PRIu64 "\n", settings.write_threshold);
    printf("EXFIRE_TIME=%d\n", settings.exfire_time / 60);
    printf("CHECK_INTERVAL=%d\n", settings.check_interval);
    printf("DISP_INTERVAL=%d\n", settings.disp_interval);
    printf("DISP_LEVEL=%d\n", settings.disp_level);
    if (settings.watch_roop <= 0)
        printf("NOT_ROOP\n");
    else
        printf("// NOT_ROOP なし：満了後も監視を続けます\n");
    printf("COUNTER_SOURCE=%s\n", settings.counter_source == counter_source_kernel ? "kernel" : "command");
    print_text("DISK_PREFIXES=", settings.disk_prefixes);
    // A notice before acting and the dry run.
    printf("NOTICE_TIME=%d\n", settings.notice_time / 60);
    print_text("NOTICE_RUN=", settings.notice_run);
    printf("DRY_RUN=%s\n", settings.dry_run != 0 ? "on" : "off");
    // The activity sources beside the counters and the devices.
    static const char* const sessions[] = {"off", "any", "active"};
    const int32_t s = settings.user_sessions;
    printf("USER_SESSIONS=%s\n", s >= 0 && s <= user_sessions_active ? sessions[s] : "off");
    printf("INHIBITORS=%s\n", settings.inhibitors != 0 ? "on" : "off");
    print_text("BUSY_PROCESSES=", settings.busy_processes);
    printf("CPU_THRESHOLD=%d\n", settings.cpu_threshold);
    print_text("BUSY_PORTS=", settings.busy_ports);
    print_text("BUSY_CHECK=", settings.busy_check);
    print_text("IGNORE_INTERFACES=", settings.ignore_interfaces);
    print_path("STATUS_PATH=", settings.status_path);
    print_path("METRICS_PATH=", settings.metrics_path);
}

}  // namespace

void test_config_print()
{
    print_settings();
    // What each source sees now: devices, interfaces, disks, ...
    for (std::size_t i = 0; i < source_table_size; i++) {
        if (source_table[i].describe != nullptr)
            source_table[i].describe();
    }
}

void version_print()
{
    printf("lullwatcher %s\n", program_version);
}
