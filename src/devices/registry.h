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
    // Event handler name, e.g. "event3"; empty while a device asked for by
    // name has not been seen yet. Only the entry's own watcher changes it
    // once the watchers run; other threads read it via device_event_read.
    char event[event_name_max + 1];
    pthread_t thread;  // watcher thread, 0 while none runs
    int index;         // 0-based position; also the activity bit number
    device_entry* next;
    // The name that the device was asked for by (owned), or nullptr when it
    // was asked for by event. Such a device is looked up again by this name
    // whenever its node cannot be opened.
    char* name;
};

extern device_entry* device_data;

// The command whose output is the kernel's input device listing; tests point
// it at a fixture.
constexpr const char* device_listing_default = "cat /proc/bus/input/devices";
extern const char* device_listing_command;

// Appends an entry for event unless one exists. Returns 0 when appended, the
// 1-based position of the entry that already holds event, or -1 when event
// is empty, longer than event_name_max, or memory ran out.
int device_data_add(const char* event);
// Registers the device whose listing name begins with name; a name that is
// not listed yet is kept and looked for again by its watcher.
void add_device_by_device_name(const char* name);
// Registers the device whose event handler is exactly event.
void add_device_by_event_name(const char* event);

// Scans a listing for device blocks whose name begins with name and
// registers the first event handler of such a block not yet registered,
// remembering name in the entry. Returns the new entry, or nullptr when none
// was added.
const device_entry* device_listing_add_by_name(FILE* listing, const char* name);
// Scans a listing for the handler line whose event token is exactly event
// and registers it. name receives the listing name of the last name line
// read (quotes included, cut to fit; empty before any name line). Returns
// the new entry, or nullptr when none was added.
const device_entry* device_listing_add_by_event(FILE* listing, const char* event,
                                                char* name, std::size_t name_size);

// What a fresh look at the listing found for an entry asked for by name.
enum class device_lookup {
    same,     // still under the entry's event handler
    moved,    // under another handler, which the entry now holds
    absent,   // no listed device of that name is free
    unknown,  // the listing could not be read
};

// Reads the listing again and moves entry to the first handler of a block
// named entry->name that no other entry holds. Called by the entry's own
// watcher thread; not interrupted by cancellation.
device_lookup device_entry_lookup(device_entry* entry);
// Copies entry->event into out (event_name_max + 1 bytes), safely beside the
// watcher that may move the entry.
void device_event_read(const device_entry* entry, char* out);

// "-t": each registered device as a "// NAME" line (from the listing)
// followed by its "EVENT=" line.
void devices_describe();
