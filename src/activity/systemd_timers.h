// When systemd's timer units fire next, asked of systemd over the system
// bus: the wake-up times that ALARM_TIMERS= follows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "activity/system_bus.h"

// One loaded timer unit and its next elapse on the realtime clock, in
// microseconds since the epoch; 0 when it has none.
struct timer_elapse {
    std::string name;
    uint64_t next_us = 0;
};

struct timer_listing {
    bool answered = false;  // systemd answered every question in time
    std::vector<timer_elapse> timers;
};

// The loaded timer units whose names match one of the comma-separated
// shell patterns, in systemd's order. With no pattern nothing is asked and
// the listing counts as answered.
timer_listing systemd_timers_read(std::string_view patterns, const bus_deadline& deadline);
