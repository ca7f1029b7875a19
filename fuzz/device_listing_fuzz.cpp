// Fuzzes the two scans of the input device listing. The first line of the
// input is the request (a device name or an event name), the rest the
// listing.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "devices/registry.h"
#include "devices/watcher.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t line_end = input.find('\n');
    const std::string request = input.substr(0, line_end);
    std::string listing = line_end == std::string::npos ? "" : input.substr(line_end + 1);
    if (listing.empty())
        return 0;

    FILE* in = fmemopen(listing.data(), listing.size(), "r");
    if (in == nullptr)
        return 0;
    const device_entry* by_name = device_listing_add_by_name(in, request.c_str());
    if (by_name != nullptr && strncmp(by_name->event, "event", 5) != 0)
        abort();
    rewind(in);
    char name[device_name_size];
    device_listing_add_by_event(in, request.c_str(), name, sizeof name);
    if (strnlen(name, sizeof name) == sizeof name)
        abort();
    // A second round sees the first round's entries as registered.
    rewind(in);
    device_listing_add_by_name(in, request.c_str());
    fclose(in);
    devices_reset();
    return 0;
}
