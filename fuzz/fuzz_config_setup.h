// Set-up shared by the configuration fuzz targets: a private working
// directory holding the only files that fuzzed inputs may name, output
// thrown away, and a device listing that costs next to nothing.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "base/settings.h"
#include "devices/registry.h"
#include "devices/watcher.h"

inline void fuzz_write_file(const char* name, const std::string_view content, mode_t mode)
{
    const int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        abort();
    if (!content.empty() && write(fd, content.data(), content.size()) != static_cast<ssize_t>(content.size()))
        abort();
    close(fd);
    if (chmod(name, mode) != 0)
        abort();
}

// The private directory and the directory the fuzzer was started in (its
// corpus paths may be relative to it).
struct fuzz_dirs {
    std::string own;
    std::string start;
};

inline fuzz_dirs& fuzz_config_dirs()
{
    static fuzz_dirs dirs;
    return dirs;
}

inline const char* const fuzz_config_files[] = {"a.conf", "b.conf", "open.conf", "c.conf", "fuzz.conf"};

inline void fuzz_config_cleanup()
{
    const std::string& own = fuzz_config_dirs().own;
    for (const char* name : fuzz_config_files)
        (void)unlink((own + "/" + name).c_str());
    (void)rmdir(own.c_str());
}

// Runs once per process.
inline void fuzz_config_setup()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    char dir[] = "/tmp/lw-fuzz-config-XXXXXX";
    char* start = getcwd(nullptr, 0);
    if (start == nullptr || mkdtemp(dir) == nullptr || chdir(dir) != 0)
        abort();
    fuzz_config_dirs() = {dir, start};
    free(start);
    (void)atexit(fuzz_config_cleanup);
    fuzz_write_file("a.conf", "EXFIRE_TIME=5\nEVENT=event1\nFILE=b.conf\n", 0644);
    fuzz_write_file("b.conf", "DISP_LEVEL=3\nFILE=a.conf\n", 0644);
    fuzz_write_file("open.conf", "COMMAND=never\n", 0666);
    fuzz_write_file("c.conf", "COMMAND=echo x\nDEVICE_NAME=\"k\nNOT_ROOP\n", 0644);
    if (freopen("/dev/null", "w", stdout) == nullptr || chdir(fuzz_config_dirs().start.c_str()) != 0)
        abort();
}

// Runs body in the private directory, so that relative names stay inside it.
template <typename Body>
void fuzz_in_own_dir(Body body)
{
    if (chdir(fuzz_config_dirs().own.c_str()) != 0)
        abort();
    body();
    if (chdir(fuzz_config_dirs().start.c_str()) != 0)
        abort();
}

// Puts the settings and the device list back before each input.
inline void fuzz_config_reset()
{
    settings_reset();
    devices_reset();
    device_listing_command = "printf 'N: Name=\"k\"\\nH: Handlers=kbd event1 \\n'";
}

// True when every text setting still ends inside its array.
inline bool fuzz_settings_terminated()
{
    const auto ends = [](const auto& field) { return strnlen(field, sizeof field) < sizeof field; };
    return ends(settings.command) && ends(settings.disk_prefixes) && ends(settings.notice_run) &&
           ends(settings.status_path) && ends(settings.metrics_path) && ends(settings.busy_processes) &&
           ends(settings.busy_ports) && ends(settings.busy_check) && ends(settings.ignore_interfaces);
}

// True when a text value could name a file outside the private directory:
// any '/' after "FILE=" on the same line. Such inputs are skipped, since
// reading arbitrary files (FIFOs, endless devices) proves nothing.
inline bool fuzz_names_other_files(std::string_view text)
{
    for (size_t at = text.find("FILE="); at != std::string_view::npos; at = text.find("FILE=", at + 1)) {
        const size_t end = text.find('\n', at);
        if (text.substr(at, end == std::string_view::npos ? end : end - at).find('/') != std::string_view::npos)
            return true;
    }
    return false;
}
