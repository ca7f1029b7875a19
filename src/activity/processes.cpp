#include "activity/processes.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unistd.h>

#include "activity/process_events.h"
#include "activity/source_report.h"
#include "base/messages.h"
#include "base/settings.h"

const char* proc_root = proc_root_default;

source_health process_health;

namespace {

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
    if (n < 0)
        return {};  // ended, or hidden from this user
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

using process_names = std::map<pid_t, std::string>;  // matching processes by id

// Reads every process of proc_root into matching. False when the list
// cannot be read or holds no process at all (not even this one), which
// means /proc is not what it should be and is no proof of idleness.
bool read_all_processes(process_names& matching, char* buf, std::size_t& processes)
{
    processes = 0;
    matching.clear();
    std::unique_ptr<DIR, dir_closer> dir(opendir(proc_root));
    if (!dir)
        return false;
    const int root_fd = dirfd(dir.get());
    errno = 0;
    while (const dirent* entry = readdir(dir.get())) {
        if (!all_digits(entry->d_name))
            continue;
        // A process that ended since the listing reads as nothing.
        processes++;
        const std::string_view name = matching_name(root_fd, entry->d_name, buf);
        if (!name.empty())
            matching.emplace(static_cast<pid_t>(strtol(entry->d_name, nullptr, 10)), std::string(name));
        errno = 0;
    }
    return errno == 0 && processes > 0;
}

// The matching processes, kept between checks while the kernel's process
// events tell which processes to read again; without them (not root, or a
// /proc other than the machine's own) every check reads every process.
struct process_table {
    int events = -1;
    bool events_refused = false;
    bool current = false;      // matching is right as of the events read so far
    std::string patterns;      // the list matching was made for
    process_names matching;
    std::set<pid_t> touched;
    // Processes at the last whole read: past as many to read again, a
    // whole read is cheaper.
    std::size_t processes = 0;
    int root_fd = -1;  // the machine's /proc, for reading one process
} table;

void read_touched(char* buf)
{
    for (const pid_t pid : table.touched) {
        char id[16];
        (void)snprintf(id, sizeof id, "%d", static_cast<int>(pid));
        const std::string_view name = matching_name(table.root_fd, id, buf);
        if (name.empty())
            table.matching.erase(pid);  // ended, or no longer matching
        else
            table.matching[pid] = std::string(name);
    }
    table.touched.clear();
}

// Stops following the kernel's events: from now on every check reads
// every process.
void stop_following()
{
    if (table.events >= 0)
        (void)close(table.events);
    if (table.root_fd >= 0)
        (void)close(table.root_fd);
    table.events = -1;
    table.root_fd = -1;
    table.events_refused = true;
    table.current = false;
}

void table_close()
{
    stop_following();
    table = process_table{};
}

// Brings table.matching up to date. False when /proc cannot answer.
bool update_table(char* buf)
{
    if (table.patterns != settings.busy_processes) {
        table.patterns = settings.busy_processes;
        table.current = false;
    }
    const bool machine_proc = strcmp(proc_root, proc_root_default) == 0;
    if (machine_proc && table.events < 0 && !table.events_refused) {
        table.root_fd = open(proc_root, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        table.events = table.root_fd < 0 ? -1 : process_events_open();
        table.current = false;
        if (table.events < 0)
            stop_following();
    }
    bool following = machine_proc && table.events >= 0;
    if (following) {
        const int read = process_events_read(table.events, table.touched);
        if (read < 0) {  // the socket broke
            stop_following();
            following = false;
        } else if (read == 0 || table.touched.size() > table.processes) {
            table.current = false;
        }
        if (table.current) {
            read_touched(buf);
            return true;
        }
    }
    // Events already read are older than this whole read.
    table.touched.clear();
    const bool read_all = read_all_processes(table.matching, buf, table.processes);
    table.current = read_all && following;
    return read_all;
}

}  // namespace

void process_check(activity_check& check)
{
    if (settings.busy_processes[0] == '\0')
        return;
    const std::string what = text_format(tr("プロセス一覧（%s）"), proc_root);
    auto buf = std::make_unique<char[]>(proc_text_size);
    const bool answered = update_table(buf.get());
    source_findings found;
    if (answered)
        for (const auto& process : table.matching)
            findings_add(found, process.second);
    source_report(check, process_health, answered, found, what.c_str(), tr("(プロセス実行中)"), "process");
}

void process_reset()
{
    proc_root = proc_root_default;
    process_health = {};
    table_close();
}
