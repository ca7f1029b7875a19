// Fuzzes the "ifconfig" parser: the input is the command's output.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sampling/traffic.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FILE* in = size == 0 ? fopen("/dev/null", "r") : fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (in == nullptr)
        return 0;
    // Twice, so that the second run updates the records of the first.
    parse_ifconfig(in);
    rewind(in);
    parse_ifconfig(in);
    fclose(in);
    for (const traffic_entry* e = traffic_data; e != nullptr; e = e->next) {
        if (strnlen(e->name, sizeof e->name) >= sizeof e->name || e->name[0] == '\0')
            abort();
    }
    traffic_data_clear();
    return 0;
}
