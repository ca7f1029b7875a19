#include "base/progress.h"

std::atomic<int> device_operation_disp_done{0};
