// Fuzzes the "iostat" parser: the first input line is the list of watched
// name prefixes, the rest the command's output.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "base/settings.h"
#include "sampling/drive.h"
#include "sampling/drive_iostat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::size_t end = text.find('\n');
    const std::string_view prefixes = text.substr(0, end == std::string_view::npos ? text.size() : end);
    snprintf(settings.disk_prefixes, sizeof settings.disk_prefixes, "%.*s",
             static_cast<int>(prefixes.size() < 255 ? prefixes.size() : 255), prefixes.data());
    const std::size_t rest = end == std::string_view::npos ? size : end + 1;
    FILE* in = rest == size ? fopen("/dev/null", "r") : fmemopen(const_cast<uint8_t*>(data) + rest, size - rest, "r");
    if (in == nullptr)
        return 0;
    counter_readings readings;
    for (int run = 0; run < 2; run++) {
        rewind(in);
        if (parse_iostat(in, readings) != static_cast<int>(readings.count))
            abort();
        readings_record(readings, drive_data_add);
    }
    fclose(in);
    for (const drive_entry* e = drive_data; e != nullptr; e = e->next) {
        if (e->name.empty())
            abort();
    }
    drive_data_clear();
    settings_reset();
    return 0;
}
