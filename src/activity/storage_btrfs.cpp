// btrfs filesystems, each once however often it is mounted: the kernel's
// /sys/fs/btrfs/FSID/exclusive_operation names a balance, a device add,
// remove or replace, a resize or a swap file being activated; `btrfs scrub
// status MOUNT` tells whether a scrub runs.
//
// A paused balance is not a job: it stays paused, recorded on the
// filesystem, until someone resumes it (or the next mount does), so a
// power-off loses nothing of it, while counting it would keep the machine
// up for as long as it is left paused.
//
// In its first seconds a running scrub has no statistics yet: `scrub status`
// prints "no stats available" and no Status line, as for a filesystem never
// scrubbed. Only a running scrub prints the "Time left:", "ETA:" and "Bytes
// scrubbed:" lines, so without a Status line any of them means running.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

#include "activity/storage.h"
#include "base/messages.h"
#include "base/streams.h"

bool parse_btrfs_exclusive_operation(std::string_view text, std::string& job)
{
    const std::string_view word = storage_trim(storage_next_line(text));
    if (word.empty())
        return false;
    job.clear();
    if (word == "none" || word == "balance paused")
        return true;
    // "device add" becomes device-add; an operation newer than this code
    // (or the kernel's "UNKNOWN") still counts.
    for (const char c : word)
        job += c == ' ' ? '-' : static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return true;
}

bool parse_btrfs_scrub_status(std::string_view text, bool& running)
{
    bool has_uuid = false;
    bool has_status = false;
    bool progress = false;
    running = false;
    while (!text.empty()) {
        const std::string_view line = storage_trim(storage_next_line(text));
        const std::size_t colon = line.find(':');
        const std::string_view key = line.substr(0, colon == std::string_view::npos ? 0 : colon + 1);
        const std::string_view value = storage_trim(line.substr(key.size()));
        if (key == "UUID:") {
            has_uuid = true;
        } else if (key == "Status:") {
            has_status = true;
            running = value == "running";
        } else if (key == "Time left:" || key == "ETA:" || key == "Bytes scrubbed:") {
            progress = true;
        }
    }
    if (!has_status)
        running = progress;
    return has_uuid;
}

namespace {

// "\040" and the like, as the mount table escapes blanks, back to bytes.
std::string unescape_mount_field(std::string_view field)
{
    std::string out;
    for (std::size_t i = 0; i < field.size(); i++) {
        const bool octal = field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
                           field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7';
        if (octal) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

}  // namespace

std::vector<btrfs_mount> parse_btrfs_mounts(FILE* in)
{
    std::vector<btrfs_mount> mounts;
    char* line = nullptr;
    std::size_t capacity = 0;
    ssize_t length = 0;
    while ((length = getline(&line, &capacity, in)) > 0) {
        std::string_view text(line, static_cast<std::size_t>(length));
        std::string_view rest = storage_next_line(text);
        std::string_view fields[3];
        for (std::string_view& field : fields) {
            rest = storage_trim(rest);
            const std::size_t end = std::min(rest.find(' '), rest.size());
            field = rest.substr(0, end);
            rest.remove_prefix(end);
        }
        if (fields[2] == "btrfs")
            mounts.push_back({unescape_mount_field(fields[0]), unescape_mount_field(fields[1])});
    }
    free(line);
    return mounts;
}

namespace {

// The filesystem's directory under /sys/fs/btrfs: the one whose devices/
// lists the mounted device (by its kernel name, so /dev/mapper links are
// followed). "" when none does.
std::string btrfs_fsid_of(const std::string& fs_root, const std::string& device)
{
    char resolved[PATH_MAX];
    std::string name = realpath(device.c_str(), resolved) != nullptr ? resolved : device;
    name = name.substr(name.rfind('/') + 1);
    std::string fsid;
    DIR* dir = name.empty() ? nullptr : opendir(fs_root.c_str());
    if (dir == nullptr)
        return fsid;
    struct stat st {};
    while (const dirent* entry = readdir(dir)) {
        std::string member = fs_root + '/';
        member.append(entry->d_name).append("/devices/").append(name);
        if (entry->d_name[0] != '.' && stat(member.c_str(), &st) == 0) {
            fsid = entry->d_name;
            break;
        }
    }
    (void)closedir(dir);
    return fsid;
}

void read_exclusive_operation(const std::string& path, const std::string& point, storage_reading& reading)
{
    std::string text;
    std::string job;
    errno = 0;
    if (!storage_file_read(path, text)) {
        if (errno != ENOENT)  // kernels before 5.10 have no such file
            storage_fail(reading, path + ": " + strerror(errno));
    } else if (!parse_btrfs_exclusive_operation(text, job)) {
        storage_fail(reading, path + ": no word");
    } else if (!job.empty()) {
        reading.jobs.push_back({point, job});
    }
}

void read_scrub(const std::string& point, storage_reading& reading)
{
    const std::string label = "btrfs scrub status " + point;
    std::string output;
    int status = 0;
    bool running = false;
    if (!storage_tool_run({"btrfs", "scrub", "status", point}, label, output, status, reading))
        return;
    if (status != 0)
        storage_fail(reading, text_format(tr("%s（終了ステータス %d）"), label.c_str(), status));
    else if (!parse_btrfs_scrub_status(output, running))
        storage_fail(reading, text_format(tr("%s（出力を読めません）"), label.c_str()));
    else if (running)
        reading.jobs.push_back({point, "scrub"});
}

}  // namespace

void storage_read_btrfs(storage_reading& reading)
{
    const file_stream table(fopen(storage_mounts_path, "re"));
    if (!table)
        return;
    const std::vector<btrfs_mount> mounts = parse_btrfs_mounts(table.get());
    const std::string fs_root = std::string(storage_sys_root) + "/fs/btrfs";
    const bool scrub_asked = !mounts.empty() && storage_tool_present("btrfs");
    std::vector<std::string> seen;  // devices and filesystems already read
    for (const btrfs_mount& mount : mounts) {
        if (reading.stopped)
            return;
        if (std::find(seen.begin(), seen.end(), mount.device) != seen.end())
            continue;
        seen.push_back(mount.device);
        const std::string fsid = btrfs_fsid_of(fs_root, mount.device);
        if (fsid.empty()) {
            storage_fail(reading, mount.point + ": no filesystem of " + mount.device + " in " + fs_root);
        } else {
            if (std::find(seen.begin(), seen.end(), fsid) != seen.end())
                continue;
            seen.push_back(fsid);
            read_exclusive_operation(fs_root + '/' + (fsid + "/exclusive_operation"), mount.point, reading);
        }
        if (scrub_asked)
            read_scrub(mount.point, reading);
    }
}
