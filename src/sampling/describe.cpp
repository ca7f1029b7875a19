// What "-t" says of the interfaces and disks that the kernel lists now, and
// whether each is watched.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <unistd.h>

#include "base/messages.h"
#include "base/settings.h"
#include "base/streams.h"
#include "base/text_escape.h"
#include "base/text_scan.h"
#include "sampling/drive.h"
#include "sampling/ignored_interfaces.h"
#include "sampling/sources.h"
#include "sampling/traffic.h"
#include "sampling/traffic_kernel.h"
#include "sampling/traffic_links.h"

namespace {

// Whether a disk name is a whole disk (it has an entry in the block
// directory; a "/" in a name stands there as "!").
bool whole_disk(std::string name)
{
    for (char& c : name) {
        if (c == '/')
            c = '!';
    }
    const std::string path = std::string(sys_block_path) + "/" + name;
    return access(path.c_str(), F_OK) == 0;
}

}  // namespace

void traffic_describe()
{
    file_stream in(fopen(proc_net_dev_path, "re"));
    char line[sample_line_size];
    while (in && read_piece(in.get(), line)) {
        const char* colon = strchr(line, ':');
        if (colon == nullptr)
            continue;
        std::size_t pos = 0;
        const std::string name(next_token(std::string_view(line, static_cast<std::size_t>(colon - line)), pos));
        const char* why = !network_watched()              ? tr("監視なし（閾値 0）")
                          : interface_ignored(name)          ? tr("監視なし（IGNORE_INTERFACES）")
                          : !interface_is_up(name.c_str())   ? tr("監視なし（停止中）")
                                                             : tr("監視");
        printf(tr("// ネットワーク %s：%s\n"), text_escape(name, "\\ ").c_str(), why);
    }
}

void drive_describe()
{
    file_stream in(fopen(diskstats_path, "re"));
    char line[sample_line_size];
    while (in && read_piece(in.get(), line)) {
        std::size_t pos = 0;
        std::string_view field[8];
        for (std::string_view& f : field)
            f = next_token(line, pos);
        const std::string name(field[2]);
        if (name.empty() || !whole_disk(name) || (leading_decimal(field[3]) == 0 && leading_decimal(field[7]) == 0))
            continue;
        const char* why = !disk_watched()                               ? tr("監視なし（閾値 0）")
                          : !disk_prefix_match(disk_prefix_list(), name) ? tr("監視なし（DISK_PREFIXES 外）")
                                                                         : tr("監視");
        printf(tr("// ディスク %s：%s\n"), text_escape(name, "\\ ").c_str(), why);
    }
}

std::vector<std::string> drive_whole_disks()
{
    std::vector<std::string> disks;
    file_stream in(fopen(diskstats_path, "re"));
    char line[sample_line_size];
    while (disk_watched() && in && read_piece(in.get(), line)) {
        std::size_t pos = 0;
        std::string_view field[8];
        for (std::string_view& f : field)
            f = next_token(line, pos);
        // As the samplers: a disk that never completed a request is left out.
        const std::string name(field[2]);
        if (!name.empty() && disk_name_recorded(name) && whole_disk(name) &&
            (leading_decimal(field[3]) != 0 || leading_decimal(field[7]) != 0))
            disks.push_back(name);
    }
    return disks;
}
