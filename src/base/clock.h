// The clocks the program reads, as replaceable values: the loop counts idle
// time by them and the sources that know the time of day ask the wall clock;
// tests stand in clocks of their own.
#pragma once

#include <cstdint>
#include <ctime>

// The monotonic clock (stands still while the machine is suspended) and the
// boot-time clock (runs on), in milliseconds.
extern int64_t (*watch_monotonic_ms)();
extern int64_t (*watch_boottime_ms)();
// The wall clock, in Unix seconds.
extern time_t (*watch_unix_time)();

// Puts the real clocks back.
void clock_reset();
