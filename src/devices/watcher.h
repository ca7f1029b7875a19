// Device watcher threads and the device check.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <linux/input.h>

#include "base/activity.h"
#include "base/source_table.h"
#include "devices/registry.h"

// One input event as the kernel delivers it to this userland: 24 bytes on
// 64-bit systems, 16 on 32-bit ones.
constexpr std::size_t input_event_size = sizeof(input_event);

// Directory of the event devices, "/dev/input/"; tests point it elsewhere.
extern const char* input_dir_prefix;

// Bit (index mod 32) is set when that device delivered an event.
extern std::atomic<uint32_t> device_operation;
// Bit (index mod 32) is set while that device's watcher cannot open or read
// its event device.
extern std::atomic<uint32_t> device_failing;
// Whether the watched devices answered at the last check: failing while a
// watcher cannot open or read its device.
extern source_health input_health;

// The watchers' pause before they retry a device (10 s); tests shorten it.
// Must stay a cancellation point.
extern void (*watcher_retry_sleep)(unsigned seconds);

// Starts a watcher thread (pthread_create with default attributes); tests
// make it fail.
extern int (*watcher_thread_start)(pthread_t* thread, void* (*body)(void*), void* arg);

// Starts one watcher thread per registered device; an entry whose thread
// cannot be started keeps thread 0 and is named in one line.
void device_thread_create();
// Requests cancellation of every watcher and sets every thread to 0,
// without waiting: the process ends right after.
void device_thread_delete();
// Body of a watcher thread; arg is its device_entry. Ends only by
// cancellation.
void* device_watch(void* arg);
// The device check: takes and clears device_operation, reports into check
// (its text, and one "input:EVENTNAME" reason per device used), and notes
// whether a watcher fails.
void device_check(activity_check& check);
// Puts the whole module back to its start state: cancels every watcher and
// waits for it to end, frees every entry, clears the activity bits and puts
// the listing command, the device directory, the retry pause and the thread
// start back to their defaults.
void devices_reset();
