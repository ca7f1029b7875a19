// Talking to the service manager (sd_notify): readiness, a one-line status
// and the watchdog. Without NOTIFY_SOCKET nothing is sent.
#pragma once

#include <cstdint>
#include <string>

#include "report/report.h"

// Sends text ("READY=1", "STATUS=...", "WATCHDOG=1") when the program runs
// under a service manager that listens.
void notify_send(const std::string& text);

// The status line, e.g. "idle 7 of 10 min, last busy 12:03 by eth0 rx 3.4 MB".
std::string notify_summary(const status_record& record);

// The warning line (journal prefix included) when a watchdog period of
// period_usec is not longer than twice the display interval, since a
// healthy pass could then miss it; empty otherwise.
std::string watchdog_warning(uint64_t period_usec, int disp_interval);
