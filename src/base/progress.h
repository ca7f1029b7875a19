// Progress output shared by the device watchers, the samplers and the loop.
#pragma once

#include <atomic>

// Set by a device watcher after it printed an activity line; read by the
// traffic progress (an extra line feed follows such a line) and cleared by
// the loop before every sleep.
extern std::atomic<int> device_operation_disp_done;
