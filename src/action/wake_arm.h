// The way back, armed at expiry before the command: the RTC alarm set to
// the planned wake-up moment, and magic-packet wake switched on at each
// LAN_WAKE= interface. A machine that would not come back as configured is
// not powered off.
#pragma once

#include "base/activity.h"

// With no ALARM_* or LAN_WAKE= setting, or after a stop request, does
// nothing and returns true. Otherwise sets the alarm to check.wake's moment
// ("起動予約：DATE TIME（SOURCE）", or one line saying that there is no
// time) and switches the interfaces on ("Wake-on-LAN：IF,..."); in a dry
// run only names what it would arm. When something cannot be armed, prints
// one warning naming it, makes check busy with "alarm:error" or
// "lan:IF:error" and returns false: the action must not be carried out.
bool wake_arm(activity_check& check);
