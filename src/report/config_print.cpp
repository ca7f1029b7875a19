#include "report/config_print.h"

#include <cstdio>

#include "base/source_table.h"
#include "base/version.h"

void config_system_print()
{
    // What each source sees now: devices, interfaces, disks, ...
    for (std::size_t i = 0; i < source_table_size; i++) {
        if (source_table[i].describe != nullptr)
            source_table[i].describe();
    }
}

void version_print()
{
    printf("lullwatcher %s\n", program_version);
}
