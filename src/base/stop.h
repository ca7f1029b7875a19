// A stop request: SIGTERM, SIGINT or SIGHUP asks the program to end. The
// signal handler records it here; the loop's sleep and every wait for a
// child or for the system bus look at it and end early once it has come.
#pragma once

// The stop signal received, 0 while none.
int stop_signal_received();

// Whether a stop signal has been received.
inline bool stop_requested()
{
    return stop_signal_received() != 0;
}

// Records signo (the first one wins) and makes stop_wake_fd readable.
// Async-signal-safe.
void stop_request(int signo);

// A descriptor that becomes readable once a stop has been requested, for
// poll beside the descriptors a wait is for; -1 until stop_wake_open.
int stop_wake_fd();

// Opens the wake-up pipe (once; later calls do nothing).
void stop_wake_open();

// Forgets a received stop signal (the pipe stays open, drained).
void stop_reset();
