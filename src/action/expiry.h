// The expiry action: what runs once the idle time has reached the expiry
// time.
#pragma once

#include "base/activity.h"

// Prints "監視満了!!", arms the way back (action/wake_arm.h) from the plan
// of check, then runs the configured command, or sync x3 then shutdown; in
// a dry run only the lines naming them. A stop request that came before a
// command would start prevents that command and those after it. Returns
// false when the action was not carried out: the way back could not be
// armed (check is then busy with the failure), or a stop request came first.
bool shutdown_proc(activity_check& check);

// Puts the action's seams back: the expiry and notice runners, the RTC
// alarm's paths and writer.
void action_reset();
