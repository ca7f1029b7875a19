// md arrays: /sys/block/mdN/md/sync_action names what the array does, one
// of idle, frozen (sync held off), resync, recover, check, repair and
// reshape. Every word but idle and frozen is a job that a power-off would
// interrupt.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>

#include "activity/storage.h"

bool parse_md_sync_action(std::string_view text, std::string& job)
{
    const std::string_view word = storage_trim(storage_next_line(text));
    if (word.empty())
        return false;
    job = word == "idle" || word == "frozen" ? std::string() : std::string(word);
    return true;
}

namespace {

// The md devices under /sys/block, in name order.
std::vector<std::string> md_devices(const std::string& block)
{
    std::vector<std::string> names;
    DIR* dir = opendir(block.c_str());
    if (dir == nullptr)
        return names;
    while (const dirent* entry = readdir(dir)) {
        if (strncmp(entry->d_name, "md", 2) == 0)
            names.emplace_back(entry->d_name);
    }
    (void)closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

void storage_read_md(storage_reading& reading)
{
    const std::string block = std::string(storage_sys_root) + "/block";
    for (const std::string& name : md_devices(block)) {
        // A device without an array behind it (being assembled, or a
        // container's member list) has no sync_action.
        const std::string path = block + '/' + (name + "/md/sync_action");
        std::string text;
        errno = 0;
        if (!storage_file_read(path, text)) {
            if (errno != ENOENT)
                storage_fail(reading, path + ": " + strerror(errno));
            continue;
        }
        std::string job;
        if (!parse_md_sync_action(text, job))
            storage_fail(reading, path + ": no word");
        else if (!job.empty())
            reading.jobs.push_back({name, job});
    }
}
