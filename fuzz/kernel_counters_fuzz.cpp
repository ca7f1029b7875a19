// Fuzzes the readers of the kernel's counters: the same input as
// /proc/net/dev and as /proc/diskstats.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/settings.h"
#include "sampling/drive.h"
#include "sampling/sources.h"
#include "sampling/traffic.h"

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
    parse_proc_net_dev(in);
    rewind(in);
    parse_diskstats(in);
    fclose(in);
    for (const traffic_entry* e = traffic_data; e != nullptr; e = e->next) {
        if (strnlen(e->name, sizeof e->name) >= sizeof e->name)
            abort();
    }
    traffic_data_clear();
    drive_data_clear();
    return 0;
}
