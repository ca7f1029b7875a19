// The expiry action: what runs once the idle time has reached the expiry
// time.
#pragma once

// Prints "監視満了!!", then runs the configured command, or sync x3 then
// shutdown; in a dry run only the line naming it. A stop request that came
// before a command would start prevents that command and those after it.
void shutdown_proc();

// Puts the action's seams back: the expiry and notice runners.
void action_reset();
