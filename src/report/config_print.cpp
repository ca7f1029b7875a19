#include "report/config_print.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <unistd.h>

#include "base/settings.h"
#include "base/streams.h"
#include "base/version.h"
#include "devices/registry.h"
#include "report/escape.h"
#include "sampling/drive.h"
#include "sampling/ignored_interfaces.h"
#include "sampling/sources.h"
#include "sampling/text_scan.h"
#include "sampling/traffic.h"
#include "sampling/traffic_kernel.h"
#include "sampling/traffic_links.h"

namespace {

// The file reads lines of at most 255 bytes, line feed included.
constexpr std::size_t config_line_max = 254;

}  // namespace

// A value that the file cannot give back as it is (a "//" makes the line a
// comment, a control character ends or changes it, a long line is cut) is
// announced by a comment line first.
void config_text_print(const char* key, std::string_view value)
{
    if (value.find("//") != std::string_view::npos || has_control(value) ||
        strlen(key) + value.size() > config_line_max)
        printf("// 注意：次の値は設定ファイルでは同じに読めません\n");
    printf("%s%s\n", key, report_escape(value, false).c_str());
}

namespace {

// Device names by event handler, from the device listing.
std::map<std::string, std::string> device_names()
{
    std::map<std::string, std::string> names;
    pipe_stream listing(popen(device_listing_command, "re"));
    if (!listing)
        return names;
    char line[listing_line_size];
    std::string name;
    while (fgets(line, sizeof line, listing.get()) != nullptr) {
        line[strcspn(line, "\n")] = '\0';
        const char* at = strstr(line, "Name=");
        if (strncmp(line, "N:", 2) == 0 && at != nullptr) {
            std::string_view text = at + strlen("Name=");
            if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
                text = text.substr(1, text.size() - 2);
            name = text;
        } else if (strncmp(line, "H:", 2) == 0) {
            std::size_t pos = 0;
            const std::string_view handlers = line;
            for (std::string_view t = next_token(handlers, pos); !t.empty(); t = next_token(handlers, pos)) {
                if (t.substr(0, 5) == "event" || t.substr(0, 14) == "Handlers=event")
                    names.emplace(std::string(t.substr(t.rfind('=') + 1)), name);
            }
        }
    }
    return names;
}

void print_devices()
{
    if (device_data == nullptr)
        return;
    const std::map<std::string, std::string> names = device_names();
    for (const device_entry* d = device_data; d != nullptr; d = d->next) {
        const auto it = names.find(d->event);
        printf("// %s\n", it == names.end() ? "名前不明" : report_escape(it->second, false).c_str());
        config_text_print("EVENT=", d->event);
    }
}

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

void print_interfaces()
{
    file_stream in(fopen(proc_net_dev_path, "re"));
    char line[sample_line_size];
    while (in && read_piece(in.get(), line)) {
        const char* colon = strchr(line, ':');
        if (colon == nullptr)
            continue;
        std::size_t pos = 0;
        const std::string name(next_token(std::string_view(line, static_cast<std::size_t>(colon - line)), pos));
        const char* why = !network_watched()              ? "監視なし（閾値 0）"
                          : interface_ignored(name)          ? "監視なし（IGNORE_INTERFACES）"
                          : !interface_is_up(name.c_str())   ? "監視なし（停止中）"
                                                             : "監視";
        printf("// ネットワーク %s：%s\n", report_escape(name, true).c_str(), why);
    }
}

void print_disks()
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
        const char* why = !disk_watched()                               ? "監視なし（閾値 0）"
                          : !disk_prefix_match(disk_prefix_list(), name) ? "監視なし（DISK_PREFIXES 外）"
                                                                         : "監視";
        printf("// ディスク %s：%s\n", report_escape(name, true).c_str(), why);
    }
}

}  // namespace

void config_system_print()
{
    print_devices();
    print_interfaces();
    print_disks();
}

void version_print()
{
    printf("lullwatcher %s\n", program_version);
}
