// The watch loop and the idle timer.
#pragma once

// Idle seconds counted so far.
int watch_idle_time();

// The loop's sleep between passes; tests replace it. The default sleeps.
extern void (*watch_sleep)(unsigned seconds);
void real_watch_sleep(unsigned seconds);

// Prints the start banner and runs the loop; returns after an expiry when
// watch_roop is 0 or less, once the device watchers are stopped.
void watch_start();

// The expiry action: the configured command, or sync x3 then shutdown.
void shutdown_proc();

// Puts the state and seams of the core back to their start: the idle time,
// the loop's sleep, the expiry runner and the system configuration path.
void core_reset();
