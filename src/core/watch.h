// The watch loop and the idle timer.
#pragma once

#include <cstdint>
#include <ctime>

#include "base/clock.h"  // the clocks the idle time is counted by

// Idle seconds counted so far.
int watch_idle_time();

// The loop's sleep between passes; tests replace it. The default sleeps on
// the monotonic clock and returns early once a stop signal has arrived.
extern void (*watch_sleep)(unsigned seconds);
void real_watch_sleep(unsigned seconds);

// Makes SIGTERM, SIGINT and SIGHUP end the loop at its next pass (waking its
// sleep), and makes a write to a closed pipe fail instead of ending the
// program. Called once at start-up, before any thread is started.
void watch_signals_install();

// What a stop signal does: records signo (the first one wins) and wakes the
// sleep. Async-signal-safe.
void watch_stop_request(int signo);

// Prints the start banner and runs the loop; returns after an expiry when
// watch_roop is 0 or less, or after a stop signal, once the device watchers
// are stopped.
void watch_start();

// Calibration instead of watching: for minutes minutes, with the same
// passes and checks, records what every interface, disk, input device and
// switched-on activity source did, acting on nothing; then prints the
// report. Returns once the device watchers are stopped.
void watch_calibrate(int minutes);

// Puts the state and seams of the core back to their start: the idle time,
// a received stop signal, the loop's sleep and clocks (the wall clock too),
// the action's runners and the system configuration path.
void core_reset();
