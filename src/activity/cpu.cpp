#include "activity/cpu.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "activity/source_report.h"
#include "base/messages.h"
#include "base/settings.h"
#include "base/streams.h"

const char* proc_stat_path = proc_stat_path_default;

source_health cpu_health;

namespace {

cpu_times cpu_previous;
bool cpu_have_previous = false;

// Fields of the "cpu" line: user nice system idle iowait irq softirq steal,
// then guest and guest_nice, which user and nice already hold.
constexpr int cpu_fields_counted = 8;
constexpr int cpu_field_idle = 3;
constexpr int cpu_field_iowait = 4;

}  // namespace

bool parse_proc_stat(FILE* in, cpu_times& times)
{
    char line[1024];
    while (fgets(line, sizeof line, in) != nullptr) {
        if (strncmp(line, "cpu ", 4) != 0)
            continue;
        times = {};
        const char* p = line + 4;
        int fields = 0;
        for (; fields < cpu_fields_counted; fields++) {
            char* end = nullptr;
            const unsigned long long value = strtoull(p, &end, 10);
            if (end == p)
                break;
            p = end;
            times.total += value;
            if (fields == cpu_field_idle || fields == cpu_field_iowait)
                times.idle += value;
        }
        return fields >= 4;
    }
    return false;
}

void cpu_check(activity_check& check)
{
    if (settings.cpu_threshold <= 0)
        return;
    const std::string what = text_format(tr("CPU使用率（%s）"), proc_stat_path);
    cpu_times now{};
    file_stream in(fopen(proc_stat_path, "re"));
    if (!in || !parse_proc_stat(in.get(), now)) {
        source_failed(check, cpu_health, "cpu", what.c_str());
        return;
    }
    source_answered(cpu_health, what.c_str());
    const cpu_times before = cpu_previous;
    const bool compare = cpu_have_previous && now.total > before.total && now.idle >= before.idle;
    cpu_previous = now;
    cpu_have_previous = true;
    if (!compare)
        return;  // first reading, or the counters started again
    const uint64_t total = now.total - before.total;
    const uint64_t idle = now.idle - before.idle;
    const uint64_t used = idle < total ? total - idle : 0;
    if (used * 100 <= static_cast<uint64_t>(settings.cpu_threshold) * total)
        return;
    source_findings found;
    findings_add(found, std::to_string(used * 100 / total));
    findings_report(check, found, tr("(CPU使用率閾値以上)"), "cpu");
}

void cpu_reset()
{
    proc_stat_path = proc_stat_path_default;
    cpu_health = {};
    cpu_previous = {};
    cpu_have_previous = false;
}
