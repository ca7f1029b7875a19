// ZFS pools: `zpool status` prints a block per pool, "pool: NAME" first,
// and a "scan:" line that says "scrub in progress since …" or "resilver in
// progress since …" while one runs (OpenZFS 2.1 and 2.2+ alike; the lines
// are indented with spaces or a tab). A paused scrub and a finished scan
// are not jobs.
#include <algorithm>
#include <sys/stat.h>

#include "activity/storage.h"
#include "base/messages.h"

namespace {

bool starts_with(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// The job of a scan line's text, or "" when nothing is in progress.
std::string scan_job(std::string_view scan)
{
    const std::size_t at = scan.find(" in progress");
    if (at == std::string_view::npos)
        return std::string();
    // "resilver (draid1:…) in progress" is a sequential rebuild; "error
    // scrub in progress" a scrub of the blocks that had errors.
    return scan.substr(0, at).find("resilver") != std::string_view::npos ? "resilver" : "scrub";
}

}  // namespace

bool parse_zpool_status(std::string_view text, std::vector<storage_job>& jobs)
{
    std::string pool;
    bool understood = false;
    while (!text.empty()) {
        const std::string_view line = storage_trim(storage_next_line(text));
        if (starts_with(line, "pool:")) {
            pool = std::string(storage_trim(line.substr(5)));
            if (pool.empty())
                return false;
            understood = true;
        } else if (starts_with(line, "scan:") && !pool.empty()) {
            const storage_job job = {pool, scan_job(storage_trim(line.substr(5)))};
            if (!job.job.empty() && std::find(jobs.begin(), jobs.end(), job) == jobs.end())
                jobs.push_back(job);
        } else if (line == "no pools available") {
            understood = true;
        }
    }
    return understood;
}

void storage_read_zfs(storage_reading& reading)
{
    // zpool without the module loaded fails with a hint to load it: there
    // is no pool to ask about then.
    struct stat st {};
    const std::string module = std::string(storage_sys_root) + "/module/zfs";
    if (!storage_tool_present("zpool") || stat(module.c_str(), &st) != 0)
        return;
    std::string output;
    int status = 0;
    if (!storage_tool_run({"zpool", "status"}, "zpool status", output, status, reading))
        return;
    if (status != 0)
        storage_fail(reading, text_format(tr("%s（終了ステータス %d）"), "zpool status", status));
    else if (!parse_zpool_status(output, reading.jobs))
        storage_fail(reading, text_format(tr("%s（出力を読めません）"), "zpool status"));
}
