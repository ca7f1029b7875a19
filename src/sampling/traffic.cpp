// Placeholder until the network sampler lands: nothing is sampled.
#include "sampling/traffic.h"

traffic_entry* traffic_data = nullptr;

void get_traffic_data() {}
void traffic_data_add(const char*, uint64_t, uint64_t) {}
void disp_traffic_data() {}
void traffic_data_check(activity_check&) {}
void traffic_data_clear() {}
