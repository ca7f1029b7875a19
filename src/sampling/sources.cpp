#include "sampling/sources.h"

#include <string_view>

#include "base/child.h"
#include "base/settings.h"
#include "sampling/drive.h"
#include "sampling/drive_kernel.h"
#include "sampling/kernel_file.h"
#include "sampling/traffic.h"
#include "sampling/traffic_links.h"

const char* ifconfig_command = ifconfig_command_default;
const char* iostat_command = iostat_command_default;
const char* proc_net_dev_path = proc_net_dev_path_default;
const char* diskstats_path = diskstats_path_default;
const char* sys_block_path = sys_block_path_default;

int sampler_deadline_default_ms()
{
    const int seconds = settings.disp_interval < 10 ? settings.disp_interval : 10;
    return (seconds < 1 ? 1 : seconds) * 1000;
}

int (*sampler_deadline_ms)() = sampler_deadline_default_ms;

void sampling_reset()
{
    traffic_data_clear();
    drive_data_clear();
    ifconfig_command = ifconfig_command_default;
    iostat_command = iostat_command_default;
    proc_net_dev_path = proc_net_dev_path_default;
    diskstats_path = diskstats_path_default;
    sys_block_path = sys_block_path_default;
    interface_is_up = interface_link_up;
    interface_links_forget();
    sampler_deadline_ms = sampler_deadline_default_ms;
    kernel_files_close();
    diskstats_forget();
    drive_every_disk = false;
}

namespace {

// Whether command is more than a program name or path.
bool needs_shell(std::string_view command)
{
    for (const char c : command) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '/' || c == '.' || c == '_' || c == '-' || c == '+';
        if (!plain)
            return true;
    }
    return command.empty();
}

}  // namespace

bool run_sampler_command(const char* command, std::string& output)
{
    // The layout of both commands' output follows the locale; the C locale
    // gives the one the parsers know.
    static const char* const c_locale[] = {"LC_ALL=C", nullptr};
    const char* const direct[] = {command, nullptr};
    const char* const shell[] = {"/bin/sh", "-c", command, nullptr};
    const child_limits limits = {sampler_deadline_ms(), sampler_output_cap};
    return child_capture(needs_shell(command) ? shell : direct, c_locale, limits, output) == child_done;
}
