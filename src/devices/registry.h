// Input device registry: the devices whose events keep the machine awake.
#pragma once

#include <cstddef>
#include <cstdio>
#include <pthread.h>

// Longest event name that fits the watchers' device path.
constexpr std::size_t event_name_max = 255;
// Remembered listing name of the lookup by event: 255 bytes + NUL.
constexpr std::size_t device_name_size = 256;
// The listing is read in pieces of at most 1023 bytes + NUL.
constexpr std::size_t listing_line_size = 1024;

struct device_entry {
    char* event;       // event handler name, e.g. "event3" (owned)
    pthread_t thread;  // watcher thread, 0 while none runs
    int index;         // 0-based position; also the activity bit number
    device_entry* next;
};

extern device_entry* device_data;

// The command whose output is the kernel's input device listing; tests point
// it at a fixture.
constexpr const char* device_listing_default = "cat /proc/bus/input/devices";
extern const char* device_listing_command;

// Appends an entry for event unless one exists. Returns 0 when appended, the
// 1-based position of the entry that already holds event, or -1 when event
// is longer than event_name_max or memory ran out.
int device_data_add(const char* event);
// Registers the device whose listing name begins with name.
void add_device_by_device_name(const char* name);
// Registers the device whose event handler is exactly event.
void add_device_by_event_name(const char* event);

// Scans a listing for device blocks whose name begins with name and
// registers the first event handler of such a block not yet registered.
// Returns the new entry, or nullptr when none was added.
const device_entry* device_listing_add_by_name(FILE* listing, const char* name);
// Scans a listing for the handler line whose event token is exactly event
// and registers it. name receives the listing name of the last name line
// read (quotes included, cut to fit; empty before any name line). Returns
// the new entry, or nullptr when none was added.
const device_entry* device_listing_add_by_event(FILE* listing, const char* event,
                                                char* name, std::size_t name_size);
