// Walks of the source table (base/source_table.h) that the loop makes.
#pragma once

#include "base/activity.h"

// One display pass: every switched-on source that samples between checks
// takes its reading and prints its progress lines, in table order.
void sources_pass();

// One check: every switched-on source, in table order, so that their texts
// and reasons stand in that order. Once a stop has been requested no
// further source is asked.
void sources_check(activity_check& check);

// Puts every source's seams and state back as at process start.
void sources_reset();
