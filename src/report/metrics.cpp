#include "report/metrics.h"

#include <cstring>

#include "base/messages.h"
#include "base/settings.h"
#include "base/text_escape.h"
#include "report/atomic_file.h"

namespace {

void add_family(std::string& out, const char* name, const char* type, const char* help)
{
    out += "# HELP ";
    out += name;
    out += ' ';
    out += help;
    out += "\n# TYPE ";
    out += name;
    out += ' ';
    out += type;
    out += '\n';
}

void add_sample(std::string& out, const char* name, long long value)
{
    out += name;
    out += ' ';
    out += std::to_string(value);
    out += '\n';
}

// One lullwatcher_growth or lullwatcher_threshold sample per taken record.
void add_per_record(std::string& out, const char* name, const report_state_record& state, bool threshold)
{
    for (const growth_item& item : state.growth) {
        out += name;
        out += "{kind=\"";
        out += item.kind;
        out += "\",name=\"";
        out += metrics_label_value(item.name);
        out += "\",direction=\"";
        out += item.direction;
        out += "\",unit=\"";
        out += item.unit;
        out += "\"} ";
        out += std::to_string(threshold ? item.threshold : item.growth);
        out += '\n';
    }
}

// One sample per switched-on source: whether it answered, or was busy.
void add_per_source(std::string& out, const char* name, const status_record& s, bool up)
{
    for (const source_state& source : s.sources) {
        out += name;
        out += "{source=\"";
        out += source.kind;
        out += "\"} ";
        out += (up ? source.up : source.busy) ? '1' : '0';
        out += '\n';
    }
}

}  // namespace

std::string metrics_label_value(std::string_view text)
{
    // Escaped as everywhere else first (no control character is left), then
    // quoted as the format asks.
    const std::string escaped = text_escape(text);
    std::string out;
    out.reserve(escaped.size());
    for (const char c : escaped) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

std::string metrics_format(const report_state_record& state)
{
    const status_record& s = state.status;
    std::string out;
    add_family(out, "lullwatcher_idle_seconds", "gauge", "Idle time counted so far.");
    add_sample(out, "lullwatcher_idle_seconds", s.idle_seconds);
    add_family(out, "lullwatcher_expiry_seconds", "gauge", "Idle time after which the expiry action runs.");
    add_sample(out, "lullwatcher_expiry_seconds", settings.exfire_time);
    add_family(out, "lullwatcher_last_check_busy", "gauge", "1 when the last check found activity, else 0.");
    add_sample(out, "lullwatcher_last_check_busy", strcmp(s.last_verdict, "busy") == 0 ? 1 : 0);
    add_family(out, "lullwatcher_last_busy_timestamp_seconds", "gauge",
               "Unix time of the last busy check, 0 when none was busy.");
    add_sample(out, "lullwatcher_last_busy_timestamp_seconds", s.last_busy);
    add_family(out, "lullwatcher_expiries_total", "counter", "Expiry actions run since the start.");
    add_sample(out, "lullwatcher_expiries_total", static_cast<long long>(s.expiries));
    add_family(out, "lullwatcher_growth", "gauge", "Growth of a counter in the last check period.");
    add_per_record(out, "lullwatcher_growth", state, false);
    add_family(out, "lullwatcher_threshold", "gauge",
               "Growth per check period above which the machine counts as busy; 0: not watched.");
    add_per_record(out, "lullwatcher_threshold", state, true);
    add_family(out, "lullwatcher_source_up", "gauge", "1 when the source answered at the last check, else 0.");
    add_per_source(out, "lullwatcher_source_up", s, true);
    add_family(out, "lullwatcher_source_busy", "gauge", "1 when the source made the last check busy, else 0.");
    add_per_source(out, "lullwatcher_source_busy", s, false);
    if (wake_settings_on()) {
        add_family(out, "lullwatcher_next_alarm_timestamp_seconds", "gauge",
                   "Unix time at which the RTC alarm will wake the machine, 0 when none.");
        add_sample(out, "lullwatcher_next_alarm_timestamp_seconds", s.wake.moment);
    }
    return out;
}

void metrics_publish()
{
    if (settings.metrics_path[0] == '\0')
        return;
    atomic_file_publish(settings.metrics_path, metrics_format(report_state), report_state.metrics_failing,
                        tr("メトリクスファイル"));
}
