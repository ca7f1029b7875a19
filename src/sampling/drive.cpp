// Placeholder until the disk sampler lands: nothing is sampled.
#include "sampling/drive.h"

drive_entry* drive_data = nullptr;

void get_drive_data() {}
void drive_data_add(const char*, uint64_t, uint64_t) {}
void drive_data_disp() {}
void drive_data_check(activity_check&) {}
void drive_data_clear() {}
