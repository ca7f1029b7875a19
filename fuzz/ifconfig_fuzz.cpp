// Fuzzes the "ifconfig" parser: the input is the command's output.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sampling/traffic.h"
#include "sampling/traffic_ifconfig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FILE* in = size == 0 ? fopen("/dev/null", "r") : fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (in == nullptr)
        return 0;
    // Twice, so that the second run updates the records of the first.
    counter_readings readings;
    for (int run = 0; run < 2; run++) {
        rewind(in);
        if (parse_ifconfig(in, readings) != static_cast<int>(readings.count))
            abort();
        readings_record(readings, traffic_data_add);
    }
    fclose(in);
    for (const traffic_entry* e = traffic_data; e != nullptr; e = e->next) {
        if (e->name.size() >= interface_name_size || e->name.empty())
            abort();
    }
    traffic_data_clear();
    return 0;
}
