#include "sampling/sources.h"

#include <string>

#include "sampling/drive.h"
#include "sampling/traffic.h"
#include "sampling/traffic_kernel.h"

const char* ifconfig_command = ifconfig_command_default;
const char* iostat_command = iostat_command_default;
const char* proc_net_dev_path = proc_net_dev_path_default;
const char* diskstats_path = diskstats_path_default;
const char* sys_block_path = sys_block_path_default;

void sampling_reset()
{
    traffic_data_clear();
    drive_data_clear();
    ifconfig_command = ifconfig_command_default;
    iostat_command = iostat_command_default;
    proc_net_dev_path = proc_net_dev_path_default;
    diskstats_path = diskstats_path_default;
    sys_block_path = sys_block_path_default;
    interface_is_up = interface_flags_up;
}

pipe_stream open_sampler_command(const char* command)
{
    // The layout of both commands' output follows the locale; the C locale
    // gives the one the parsers know. Only the child's environment changes.
    const std::string text = std::string("export LC_ALL=C; ") + command;
    return pipe_stream(popen(text.c_str(), "re"));
}
