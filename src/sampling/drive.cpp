#include "sampling/drive.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "base/clock.h"
#include "base/journal.h"
#include "base/messages.h"
#include "base/settings.h"
#include "sampling/drive_iostat.h"
#include "sampling/drive_kernel.h"
#include "sampling/sources.h"

counter_table<drive_entry> drive_table;
drive_entry* const& drive_data = drive_table.head;

namespace {

counter_readings drive_readings;

counter_sides<drive_entry> drive_sides()
{
    return {{{&drive_entry::read_total, &drive_entry::read_increased, "read", settings.read_threshold,
              "%s : read total Kbytes : %llu\n", "%s : read increased Kbytes : %llu\n",
              tr_later("(読み込み閾値以上)")},
             {&drive_entry::write_total, &drive_entry::write_increased, "write", settings.write_threshold,
              "%s : write total Kbytes : %llu\n", "%s : wtite increased Kbytes : %llu\n",
              tr_later("(書き込み閾値以上)")}}};
}

void warn_drive(sampler_warning which)
{
    const std::string prefixes(disk_prefix_list());
    switch (which) {
    case warning_switched:
        printf(tr("%s警告：%s の出力から監視対象のディスク（接頭辞：%s）を読み取れないため、以後はカーネルのカウンタ（%s）で監視します。\n"),
               journal_prefix(journal_warning), iostat_command, prefixes.c_str(), diskstats_path);
        break;
    case warning_nothing_anywhere:
        printf(tr("%s警告：%s の出力からもカーネルのカウンタ（%s）からも監視対象のディスク（接頭辞：%s）を読み取れません。ディスクは監視されていません。\n"),
               journal_prefix(journal_warning), iostat_command, diskstats_path, prefixes.c_str());
        break;
    case warning_nothing_in_kernel:
        printf(tr("%s警告：カーネルのカウンタ（%s）から監視対象のディスク（接頭辞：%s）を読み取れません。ディスクは監視されていません。\n"),
               journal_prefix(journal_warning), diskstats_path, prefixes.c_str());
        break;
    }
}

}  // namespace

std::string_view disk_prefix_list()
{
    return std::string_view(settings.disk_prefixes, strnlen(settings.disk_prefixes, sizeof settings.disk_prefixes));
}

bool disk_prefix_match(std::string_view list, std::string_view name)
{
    for (;;) {
        const std::size_t comma = list.find(',');
        std::string_view prefix = list.substr(0, comma);
        while (!prefix.empty() && (prefix.front() == ' ' || prefix.front() == '\t'))
            prefix.remove_prefix(1);
        while (!prefix.empty() && (prefix.back() == ' ' || prefix.back() == '\t'))
            prefix.remove_suffix(1);
        if (!prefix.empty() && name.substr(0, prefix.size()) == prefix)
            return true;
        if (comma == std::string_view::npos)
            return false;
        list.remove_prefix(comma + 1);
    }
}

bool drive_every_disk = false;

bool disk_name_recorded(std::string_view name)
{
    if (drive_every_disk)
        return !name.empty() && ((name[0] >= 'a' && name[0] <= 'z') || (name[0] >= 'A' && name[0] <= 'Z'));
    return disk_prefix_match(disk_prefix_list(), name);
}

void get_drive_data()
{
    const sampler_sources sources = {iostat_command, parse_iostat, diskstats_path, parse_diskstats, warn_drive};
    const bool read =
        sampler_read(drive_table.state, sources, settings.counter_source == counter_source_kernel, drive_readings);
    counter_table_read(drive_table, read, static_cast<int64_t>(watch_unix_time()));
    readings_record(drive_readings, drive_data_add);
}

void drive_data_add(std::string_view name, uint64_t read, uint64_t write)
{
    counter_table_add(drive_table, drive_sides(), name, read, write);
}

void drive_data_disp()
{
    if (settings.read_threshold == 0 && settings.write_threshold == 0)
        return;
    counter_table_disp(drive_table, drive_sides(), settings.disp_level >= 2);
}

void drive_data_check(activity_check& check)
{
    counter_table_check(drive_table, drive_sides(), {"disk", "kilobytes"}, check);
}

const char* drive_origin()
{
    return sampler_origin(drive_table.state, settings.counter_source == counter_source_kernel);
}

void drive_data_clear()
{
    counter_table_reset(drive_table);
}
