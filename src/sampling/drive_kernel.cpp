// Reader of the kernel's per-disk statistics, /proc/diskstats:
//    8       0 sda 30419 7166 2071922 6991 2247 5577 465056 1405 0 3828 ...
// major, minor, name, then reads completed, reads merged, sectors read, time
// reading, writes completed, writes merged, sectors written, ..., and on
// newer kernels discards (4th from 12th on) and flushes (16th). Sectors are
// 512 bytes, whatever the device. "iostat" lists, by default, the whole
// disks (the entries of /sys/block, not partitions) that have completed any
// request, in name order, with kilobytes = sectors / 2; so are they recorded
// here.
#include "sampling/drive_kernel.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <string_view>
#include <sys/stat.h>
#include <unordered_map>

#include "sampling/drive.h"
#include "sampling/sources.h"
#include "base/text_scan.h"

namespace {

constexpr int stat_fields_max = 17;

// Whether name is a whole disk: /sys/block holds one entry per disk, none
// per partition ("/" in a name stands as "!" there).
bool whole_disk_entry(std::string_view name)
{
    char path[512];
    const int n = snprintf(path, sizeof path, "%s/%.*s", sys_block_path, static_cast<int>(name.size()), name.data());
    if (n < 0 || static_cast<std::size_t>(n) >= sizeof path)
        return false;
    std::replace(path + strlen(sys_block_path) + 1, path + n, '/', '!');
    struct stat st;
    return stat(path, &st) == 0;
}

// Which names are whole disks, decided when a name is first met: a name
// stays a disk or a partition for as long as it exists.
std::unordered_map<std::string, bool> whole_disks;
std::string whole_disks_dir;  // the sys_block_path they were decided in

bool whole_disk(std::string_view name)
{
    if (whole_disks_dir != sys_block_path) {
        whole_disks.clear();
        whole_disks_dir = sys_block_path;
    }
    std::string key(name);  // names are short: no allocation
    const auto known = whole_disks.find(key);
    if (known != whole_disks.end())
        return known->second;
    const bool whole = whole_disk_entry(name);
    whole_disks.emplace(std::move(key), whole);
    return whole;
}

// Reads the name of one line, and leaves pos after it; false when the two
// device numbers before it are not numbers.
bool parse_diskstats_name(std::string_view line, std::size_t& pos, std::string_view& name)
{
    uint64_t number = 0;
    if (!whole_decimal(next_token(line, pos), number) || !whole_decimal(next_token(line, pos), number))
        return false;
    name = next_token(line, pos);
    return !name.empty();
}

// Reads the statistics after the name; false when the line has not the
// first seven of them or holds anything but numbers there.
bool parse_diskstats_fields(std::string_view line, std::size_t pos, uint64_t (&fields)[stat_fields_max])
{
    int count = 0;
    for (std::string_view token = next_token(line, pos); !token.empty() && count < stat_fields_max;
         token = next_token(line, pos)) {
        if (!whole_decimal(token, fields[count++]))
            return false;
    }
    for (int i = count; i < stat_fields_max; i++)
        fields[i] = 0;
    return count >= 7;
}

}  // namespace

void diskstats_forget()
{
    whole_disks.clear();
    whole_disks_dir.clear();
}

int parse_diskstats(FILE* in, counter_readings& readings)
{
    char line[sample_line_size];
    readings.count = 0;
    while (read_piece(in, line)) {
        // The name first: the statistics of a disk of another kind (loop,
        // zram, ...) are not read at all.
        std::size_t pos = 0;
        std::string_view name;
        uint64_t f[stat_fields_max];
        if (!parse_diskstats_name(line, pos, name) || !disk_name_recorded(name) ||
            !parse_diskstats_fields(line, pos, f))
            continue;
        // A disk that never completed a request is left out, as by "iostat".
        if (f[0] == 0 && f[4] == 0 && f[11] == 0 && f[15] == 0)
            continue;
        if (whole_disk(name))
            readings_push(readings, name, f[2] / 2, f[6] / 2);
    }
    readings_sort(readings, [](const std::string& a, const std::string& b) { return a < b; });
    return static_cast<int>(readings.count);
}
