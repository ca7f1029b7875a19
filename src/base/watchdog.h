// The service manager's watchdog: while it asks for one (WATCHDOG_USEC beside
// NOTIFY_SOCKET), "WATCHDOG=1" must reach it at least once a period, also
// while the program waits for a command.
#pragma once

#include <cstdint>

// Reads the period that the service manager asks for (0: none) and keeps it.
void watchdog_start();
// The period kept by watchdog_start, in microseconds; 0: none.
uint64_t watchdog_period_usec();
// Sends "WATCHDOG=1" while a period is kept.
void watchdog_keep();
// How often watchdog_keep must be called while something else is waited
// for: a third of the period, at most 10 s.
int watchdog_interval_ms();
// Forgets the period.
void watchdog_reset();
