// The activity sources beside the devices and the counters, asked after
// them at each check in this order: sessions, inhibitor locks, processes,
// CPU, connections, the check command. Each does nothing while its
// setting is off.
#pragma once

#include "base/activity.h"

// Asks every source in order; their texts stand in the message in that order.
void activity_sources_check(activity_check& check);

// Puts every source's seams and state back as at process start.
void activity_sources_reset();
