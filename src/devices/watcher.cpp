// Placeholder until the device watchers land.
#include "devices/watcher.h"

std::atomic<uint32_t> device_operation{0};
const char* input_dir_prefix = "/dev/input/";

void device_thread_create() {}
void device_thread_delete() {}
void* device_watch(void*) { return nullptr; }
void device_check(activity_check&) {}
