#include "report/status_file.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "base/messages.h"
#include "base/settings.h"
#include "base/source_table.h"
#include "base/text_escape.h"
#include "base/version.h"
#include "report/atomic_file.h"

namespace {

// Where a counter source reads: its origin while switched on, else "none".
const char* source_origin(const char* kind)
{
    const source_row* row = source_find(kind);
    if (row == nullptr || !row->on() || row->origin == nullptr)
        return "none";
    return row->origin();
}

void add_line(std::string& out, const char* key, std::string_view value)
{
    out += key;
    out += '=';
    out += value;
    out += '\n';
}

void add_number(std::string& out, const char* key, long long value)
{
    add_line(out, key, std::to_string(value));
}

void add_unsigned(std::string& out, const char* key, uint64_t value)
{
    add_line(out, key, std::to_string(value));
}

// The tokens, each escaped so that it stays one token on one line, within
// status_reasons_max bytes: tokens that do not fit are left out whole, and
// a last token "…" tells so.
std::string joined_reasons(const status_record& record)
{
    static const std::string_view ellipsis = "…";
    std::string out;
    bool left_out = false;
    for (const reason& r : record.busy_reasons) {
        const std::string escaped = text_escape(reason_token(r), "\\ ");
        const std::size_t room = status_reasons_max - ellipsis.size() - 1;  // an ellipsis after it must fit
        if (out.size() + (out.empty() ? 0 : 1) + escaped.size() > room) {
            left_out = true;
            continue;
        }
        if (!out.empty())
            out += ' ';
        out += escaped;
    }
    if (left_out)
        out += (out.empty() ? "" : " ") + std::string(ellipsis);
    return out;
}

// Each switched-on source and whether it answered: "net:ok inhibitor:error".
std::string joined_sources(const status_record& record)
{
    std::string out;
    for (const source_state& source : record.sources) {
        if (!out.empty())
            out += ' ';
        out += std::string(source.kind) + (source.up ? ":ok" : ":error");
    }
    return out;
}

}  // namespace

const char* network_source_name()
{
    return source_origin("net");
}

const char* disk_source_name()
{
    return source_origin("disk");
}

std::string expiry_action_text()
{
    if (settings.command[0] == '\0')
        return default_expiry_text;
    return settings.command;
}

std::string status_format(const status_record& record)
{
    std::string out;
    add_number(out, "pid", record.pid);
    add_line(out, "version", program_version);
    add_number(out, "started", record.started);
    add_line(out, "state", record.ended ? "ended" : "watching");
    add_line(out, "network_source", network_source_name());
    add_line(out, "disk_source", disk_source_name());
    add_number(out, "idle_seconds", record.idle_seconds);
    add_number(out, "expiry_seconds", settings.exfire_time);
    add_number(out, "seconds_left", std::max(0LL, static_cast<long long>(settings.exfire_time) - record.idle_seconds));
    add_unsigned(out, "checks", record.checks);
    add_number(out, "last_check", record.last_check);
    add_line(out, "last_verdict", record.last_verdict);
    add_number(out, "last_busy", record.last_busy);
    add_line(out, "busy_reasons", joined_reasons(record));
    add_unsigned(out, "expiries", record.expiries);
    add_line(out, "action", text_escape(expiry_action_text(), "\\"));
    add_line(out, "dry_run", settings.dry_run != 0 ? "on" : "off");  // the action is only named
    // What the amounts of busy_reasons are compared with.
    add_number(out, "check_interval", settings.check_interval);
    add_unsigned(out, "rx_threshold", settings.rx_threshold);
    add_unsigned(out, "tx_threshold", settings.tx_threshold);
    add_unsigned(out, "read_threshold", settings.read_threshold);
    add_unsigned(out, "write_threshold", settings.write_threshold);
    add_line(out, "sources", joined_sources(record));
    if (wake_settings_on()) {
        // The moment the RTC alarm fires, and what it is for.
        add_number(out, "next_alarm", record.wake.moment);
        add_line(out, "next_alarm_source", text_escape(record.wake.source, "\\"));
    }
    return out;
}

void status_publish()
{
    if (settings.status_path[0] == '\0')
        return;
    atomic_file_publish(settings.status_path, status_format(report_state.status), report_state.status_failing,
                        tr("状態ファイル"));
}

std::string format_amount(uint64_t bytes)
{
    static const char* const units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    if (bytes < 1024)
        return std::to_string(bytes) + " B";
    double value = static_cast<double>(bytes) / 1024;
    std::size_t unit = 0;
    while (value >= 1024 && unit + 1 < sizeof units / sizeof units[0]) {
        value /= 1024;
        unit++;
    }
    char text[32];
    (void)snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}
