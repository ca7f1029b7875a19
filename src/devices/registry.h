// Input device registry: the devices whose events keep the machine awake.
#pragma once

#include <pthread.h>

struct device_entry {
    char* event;       // event handler name, e.g. "event3" (owned)
    pthread_t thread;  // watcher thread, 0 while none runs
    int index;         // 0-based position; also the activity bit number
    device_entry* next;
};

extern device_entry* device_data;

// The command whose output is the kernel's input device listing; tests point
// it at a fixture.
extern const char* device_listing_command;

// Appends an entry for event unless one exists. Returns 0 when appended, or
// the 1-based position of the entry that already holds event.
int device_data_add(const char* event);
// Registers the device whose listing name begins with name.
void add_device_by_device_name(const char* name);
// Registers the device whose event handler is exactly event.
void add_device_by_event_name(const char* event);
// Frees every entry (tests only).
void device_data_clear();
