#include "activity/storage.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "base/child.h"

const char* storage_sys_root = storage_sys_root_default;
const char* storage_mounts_path = storage_mounts_path_default;
int storage_deadline_ms = storage_deadline_ms_default;

storage_reading storage_read(const std::vector<std::string>& disks)
{
    storage_reading reading;
    storage_read_md(reading);
    storage_read_zfs(reading);
    storage_read_btrfs(reading);
    storage_read_smart(disks, reading);
    return reading;
}

void storage_reset()
{
    storage_sys_root = storage_sys_root_default;
    storage_mounts_path = storage_mounts_path_default;
    storage_deadline_ms = storage_deadline_ms_default;
}

void storage_fail(storage_reading& reading, const std::string& what)
{
    if (!reading.failure.empty())
        reading.failure += "; ";
    reading.failure += what;
    reading.answered = false;
}

bool storage_tool_present(const char* name)
{
    const char* path = getenv("PATH");
    // Without PATH the shell that runs the tool searches its own default.
    std::string_view dirs = path != nullptr ? path : "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";
    for (;;) {
        const std::size_t colon = dirs.find(':');
        const std::string_view dir = dirs.substr(0, colon);
        const std::string file = (dir.empty() ? std::string(".") : std::string(dir)) + "/" + name;
        struct stat st {};
        if (stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(file.c_str(), X_OK) == 0)
            return true;
        if (colon == std::string_view::npos)
            return false;
        dirs.remove_prefix(colon + 1);
    }
}

bool storage_tool_run(const std::vector<std::string>& argv, std::string& output, int& status,
                      std::string& failure)
{
    // The child runner gives no exit status, so a shell runs the tool (its
    // arguments passed as arguments, never as text of the script) and
    // prints the status on a last line of its own.
    std::vector<const char*> args = {"/bin/sh", "-c", "\"$@\"; printf '\\n%d\\n' \"$?\"", "sh"};
    for (const std::string& arg : argv)
        args.push_back(arg.c_str());
    args.push_back(nullptr);
    static const char* const c_locale[] = {"LC_ALL=C", nullptr};
    const child_limits limits = {storage_deadline_ms, storage_output_cap};
    const child_result result = child_capture(args.data(), c_locale, limits, output);
    const std::string name = argv.empty() ? std::string() : argv[0];
    char seconds[32];
    (void)snprintf(seconds, sizeof seconds, "%g", storage_deadline_ms / 1000.0);
    if (result == child_timed_out)
        failure = name + ": still running after " + seconds + " s";
    else if (result == child_too_much)
        failure = name + ": more than " + std::to_string(storage_output_cap) + " bytes of output";
    else if (result != child_done)
        failure = name + ": cannot be started";
    if (result != child_done)
        return false;
    const std::size_t end = output.size() >= 2 ? output.rfind('\n', output.size() - 2) : std::string::npos;
    char* rest = nullptr;
    const long code = end == std::string::npos ? -1 : strtol(output.c_str() + end + 1, &rest, 10);
    if (code < 0 || code > 255 || *rest != '\n') {
        failure = name + ": ended without an exit status";
        return false;
    }
    status = static_cast<int>(code);
    output.resize(end);
    if (status == 127 || status == 126) {
        failure = name + ": cannot be run";
        return false;
    }
    return true;
}

std::string_view storage_next_line(std::string_view& text)
{
    const std::size_t newline = text.find('\n');
    const std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    return line;
}

std::string_view storage_trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

bool storage_file_read(const std::string& path, std::string& text)
{
    FILE* f = fopen(path.c_str(), "re");
    if (f == nullptr)
        return false;
    char buffer[4096];
    const std::size_t n = fread(buffer, 1, sizeof buffer, f);
    const bool failed = ferror(f) != 0;
    (void)fclose(f);
    text.assign(buffer, n);
    return !failed;
}
