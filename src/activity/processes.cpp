#include "activity/processes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <string>
#include <string_view>
#include <unistd.h>

#include "activity/source_report.h"
#include "base/settings.h"

const char* proc_root = proc_root_default;

namespace {

source_health process_health;

struct dir_closer {
    void operator()(DIR* d) const { (void)closedir(d); }
};

// A command line's first argument may be a long path; names beyond this
// are cut, which only shortens the base name taken from it.
constexpr std::size_t proc_text_size = 4096;

// Reads at most size - 1 bytes of root/pid/name into buf, NUL-terminated.
// Returns the count read, or -1.
ssize_t read_small(int root, const char* pid, const char* name, char* buf, std::size_t size)
{
    char path[64];
    const int length = snprintf(path, sizeof path, "%s/%s", pid, name);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof path)
        return -1;
    const int fd = openat(root, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    const ssize_t n = read(fd, buf, size - 1);
    (void)close(fd);
    buf[n > 0 ? n : 0] = '\0';
    return n;
}

// The name that matched, or an empty view: first /proc/PID/comm, then the
// base name of argv[0] from /proc/PID/cmdline.
std::string_view matching_name(int root, const char* pid, char* buf)
{
    ssize_t n = read_small(root, pid, "comm", buf, proc_text_size);
    if (n > 0) {
        std::string_view comm(buf, static_cast<std::size_t>(n));
        if (comm.back() == '\n')
            comm.remove_suffix(1);
        if (name_matches_list(comm, settings.busy_processes))
            return comm;
    }
    n = read_small(root, pid, "cmdline", buf, proc_text_size);
    if (n <= 0)
        return {};  // a kernel thread or a process that just ended
    std::string_view arg0(buf);  // up to the first NUL
    const std::size_t slash = arg0.rfind('/');
    if (slash != std::string_view::npos)
        arg0.remove_prefix(slash + 1);
    if (!arg0.empty() && name_matches_list(arg0, settings.busy_processes))
        return arg0;
    return {};
}

bool all_digits(const char* name)
{
    if (*name == '\0')
        return false;
    for (; *name != '\0'; name++)
        if (*name < '0' || *name > '9')
            return false;
    return true;
}

}  // namespace

void process_check(activity_check& check)
{
    if (settings.busy_processes[0] == '\0')
        return;
    const std::string what = std::string("プロセス一覧（") + proc_root + "）";
    std::unique_ptr<DIR, dir_closer> dir(opendir(proc_root));
    if (!dir) {
        source_failed(check, process_health, "process", what.c_str());
        return;
    }
    source_findings found;
    auto buf = std::make_unique<char[]>(proc_text_size);
    const int root_fd = dirfd(dir.get());
    std::size_t processes = 0;
    errno = 0;
    while (const dirent* entry = readdir(dir.get())) {
        if (!all_digits(entry->d_name))
            continue;
        // A process that ended since the listing reads as nothing.
        processes++;
        const std::string_view name = matching_name(root_fd, entry->d_name, buf.get());
        if (!name.empty())
            findings_add(found, std::string(name));
        errno = 0;
    }
    // No process at all (not even this one) means /proc is not what it
    // should be, which is no proof of idleness.
    if (errno != 0 || processes == 0) {
        source_failed(check, process_health, "process", what.c_str());
        return;
    }
    source_answered(process_health, what.c_str());
    findings_report(check, found, "(プロセス実行中)", "process");
}

void process_reset()
{
    proc_root = proc_root_default;
    process_health = {};
}
