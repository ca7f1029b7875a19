#include "sampling/drive.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "base/settings.h"
#include "sampling/name_index.h"
#include "sampling/sources.h"

drive_entry* drive_data = nullptr;

namespace {

drive_entry* drive_tail = nullptr;
name_index<drive_entry> drive_index;

// One run of "iostat": how many disks were recorded, 0 when it cannot start.
int run_iostat()
{
    pipe_stream out = open_sampler_command(iostat_command);
    if (!out)
        return 0;
    return parse_iostat(out.get());
}

// One reading of the kernel's counters: how many disks were recorded.
int read_kernel_drives()
{
    file_stream in(fopen(diskstats_path, "re"));
    if (!in)
        return 0;
    return parse_diskstats(in.get());
}

void warn_drive_fallback(bool found)
{
    const std::string prefixes(disk_prefix_list());
    if (found)
        printf("警告：%s の出力から監視対象のディスク（接頭辞：%s）を読み取れないため、以後はカーネルのカウンタ（%s）で監視します。\n",
               iostat_command, prefixes.c_str(), diskstats_path);
    else
        printf("警告：%s の出力からもカーネルのカウンタ（%s）からも監視対象のディスク（接頭辞：%s）を読み取れません。ディスクは監視されていません。\n",
               iostat_command, diskstats_path, prefixes.c_str());
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

void get_drive_data()
{
    if (settings.counter_source != counter_source_kernel && !drive_sampler.on_kernel) {
        if (run_iostat() > 0)
            return;
        // Watching nothing in silence is worse than reading the same
        // counters from the kernel: switch for the rest of the run.
        drive_sampler.on_kernel = true;
        const bool found = read_kernel_drives() > 0;
        if (!drive_sampler.warned)
            warn_drive_fallback(found);
        drive_sampler.warned = true;
        return;
    }
    if (read_kernel_drives() > 0 || drive_sampler.warned)
        return;
    drive_sampler.warned = true;
    const std::string prefixes(disk_prefix_list());
    printf("警告：カーネルのカウンタ（%s）から監視対象のディスク（接頭辞：%s）を読み取れません。ディスクは監視されていません。\n",
           diskstats_path, prefixes.c_str());
}

void drive_data_add(const char* name, uint64_t read, uint64_t write)
{
    drive_entry* e = index_find(drive_index, drive_data, name);
    if (e != nullptr) {
        e->read_increased += counter_growth(e->read_total, read);
        e->read_total = read;
        e->write_increased += counter_growth(e->write_total, write);
        e->write_total = write;
        return;
    }
    // The first sighting counts no growth. When memory runs out the reading
    // is dropped; the next run tries again.
    const std::size_t size = strlen(name) + 1;
    e = static_cast<drive_entry*>(calloc(1, sizeof(drive_entry)));
    char* copy = static_cast<char*>(malloc(size));
    if (e == nullptr || copy == nullptr) {
        free(e);
        free(copy);
        return;
    }
    memcpy(copy, name, size);
    e->name = copy;
    e->read_total = read;
    e->write_total = write;
    if (drive_tail == nullptr)
        drive_data = e;
    else
        drive_tail->next = e;
    drive_tail = e;
    index_insert(drive_index, e);
}

void drive_data_disp()
{
    if (settings.read_threshold == 0 && settings.write_threshold == 0)
        return;
    const bool all = settings.disp_level >= 2;
    for (const drive_entry* e = drive_data; e != nullptr; e = e->next) {
        if (all)
            printf("%s : read total Kbytes : %llu\n", e->name, (unsigned long long)e->read_total);
        if (settings.read_threshold != 0 || all)
            printf("%s : read increased Kbytes : %llu\n", e->name, (unsigned long long)e->read_increased);
        if (all)
            printf("%s : write total Kbytes : %llu\n", e->name, (unsigned long long)e->write_total);
        if (settings.write_threshold != 0 || all)
            printf("%s : wtite increased Kbytes : %llu\n", e->name, (unsigned long long)e->write_increased);
    }
}

void drive_data_check(activity_check& check)
{
    bool read_named = false;
    bool write_named = false;
    for (drive_entry* e = drive_data; e != nullptr; e = e->next) {
        if (settings.read_threshold != 0 && e->read_increased > settings.read_threshold) {
            check.busy = true;
            if (!read_named)
                check.message += "(読み込み閾値以上)";
            read_named = true;
        }
        if (settings.write_threshold != 0 && e->write_increased > settings.write_threshold) {
            check.busy = true;
            if (!write_named)
                check.message += "(書き込み閾値以上)";
            write_named = true;
        }
        e->read_increased = 0;
        e->write_increased = 0;
    }
}

void drive_data_clear()
{
    while (drive_data != nullptr) {
        drive_entry* next = drive_data->next;
        free(drive_data->name);
        free(drive_data);
        drive_data = next;
    }
    drive_tail = nullptr;
    index_clear(drive_index);
}
