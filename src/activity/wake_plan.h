// When the machine must be up again after a power-off: the earliest of the
// next elapses of the timers that ALARM_TIMERS= names, the next of the
// ALARM_AT= times and the time that ALARM_QUERY= prints. The alarm source
// keeps the machine on while that moment is too near for a power-off to be
// worth it, and hands the plan on to the expiry action and the reports.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "base/activity.h"
#include "base/source_table.h"

// How long the query command may run, and how much it may print.
constexpr int alarm_query_deadline_ms_default = 10000;
extern int alarm_query_deadline_ms;
constexpr std::size_t alarm_query_output_cap = 4096;

// The plan at now: only times after now count, the first source named
// keeps a tie. False, with plan empty, when a source could not answer (the
// bus, or a query that failed, ran past its deadline or printed anything but
// one number) or a stop request cut a wait short; what then names it.
bool wake_plan_make(time_t now, wake_plan& plan, std::string& what);

// True when the plan's wake-up moment is less than twice the lead from now.
bool wake_too_close(const wake_plan& plan, time_t now);

// A moment as local date and time: "2026-12-09 02:25".
std::string wake_time_text(int64_t moment);

// While an ALARM_* setting is on: makes the plan into check.wake; busy with
// "(起動予定が近い)" and "alarm:SOURCE:EPOCH" (EPOCH the earliest time) when
// it is too close, and with "alarm:error" when it cannot be made.
void alarm_check(activity_check& check);
extern source_health alarm_health;

// "-t": the wake-up that an expiry now would arm, and what each LAN_WAKE=
// interface supports.
void alarm_describe();

// Puts the deadline and the Wake-on-LAN seam back, closes the bus and
// forgets a failure.
void alarm_reset();
