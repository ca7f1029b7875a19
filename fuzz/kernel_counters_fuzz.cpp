// Fuzzes the readers of the kernel's counters: the same input as
// /proc/net/dev and as /proc/diskstats.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/settings.h"
#include "sampling/drive_kernel.h"
#include "sampling/sources.h"
#include "sampling/traffic_ifconfig.h"
#include "sampling/traffic_kernel.h"
#include "sampling/traffic_links.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // Every interface counts as up. "/" as the disk directory lets names of
    // existing directories count as whole disks.
    interface_is_up = [](const char*) { return true; };
    sys_block_path = "/";
    snprintf(settings.disk_prefixes, sizeof settings.disk_prefixes, "%s", "s,t,u,v,l,e,a");
    FILE* in = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (in == nullptr)
        return 0;
    link_events_apply(reinterpret_cast<const char*>(data), size);  // the same bytes as link events
    counter_readings readings;
    parse_proc_net_dev(in, readings);
    for (std::size_t i = 0; i < readings.count; i++) {
        if (readings.items[i].name.size() >= interface_name_size || readings.items[i].name.empty())
            abort();
    }
    rewind(in);
    parse_diskstats(in, readings);
    for (std::size_t i = 1; i < readings.count; i++) {
        if (readings.items[i].name < readings.items[i - 1].name)
            abort();  // in name order
    }
    fclose(in);
    sampling_reset();
    return 0;
}
