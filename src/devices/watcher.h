// Device watcher threads and the device check.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/activity.h"
#include "devices/registry.h"

// Directory of the event devices, "/dev/input/"; tests point it elsewhere.
extern const char* input_dir_prefix;

// Bit (index mod 32) is set when that device delivered an event.
extern std::atomic<uint32_t> device_operation;

void device_thread_create();
void device_thread_delete();
void* device_watch(void* entry);
// The device check: takes and clears device_operation, reports into check.
void device_check(activity_check& check);
