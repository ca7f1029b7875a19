#include "activity/sources.h"

#include "activity/busy_check.h"
#include "activity/cpu.h"
#include "activity/logind.h"
#include "activity/ports.h"
#include "activity/processes.h"

void activity_sources_check(activity_check& check)
{
    session_check(check);
    inhibitor_check(check);
    process_check(check);
    cpu_check(check);
    port_check(check);
    busy_command_check(check);
}

void activity_sources_reset()
{
    logind_reset();
    process_reset();
    cpu_reset();
    port_reset();
    busy_command_reset();
}
