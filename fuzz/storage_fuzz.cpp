// Fuzzes the storage readers' parsers, each fed the whole input: zpool
// status, btrfs scrub status, a kernel word, smartctl's output (with an exit
// status from the first byte) and a mount table.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "activity/storage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<storage_job> jobs;
    if (parse_zpool_status(text, jobs)) {
        for (const storage_job& job : jobs) {
            if (job.name.empty() || (job.job != "scrub" && job.job != "resilver"))
                abort();
        }
    }
    bool running = false;
    (void)parse_btrfs_scrub_status(text, running);
    std::string job;
    if (parse_md_sync_action(text, job) != parse_btrfs_exclusive_operation(text, job))
        abort();  // both need one word on the first line
    (void)parse_smartctl(text, size > 0 ? data[0] : 0);
    FILE* in = size == 0 ? fopen("/dev/null", "r") : fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (in == nullptr)
        return 0;
    for (const btrfs_mount& mount : parse_btrfs_mounts(in)) {
        if (mount.device.size() > size || mount.point.size() > size)
            abort();
    }
    fclose(in);
    return 0;
}
