// Reader of the device report of "iostat".
#pragma once

#include <cstdio>

#include "sampling/counter_table.h"

// Parses "iostat" output into readings of each disk line whose name begins
// with a watched prefix (settings.disk_prefixes), in the order of the lines.
// The read and write counters come from the columns headed "kB_read" and
// "kB_wrtn" when a "Device" header precedes the lines, else from the fixed
// layout: name, three numbers, read, write. A line whose readings do not
// convert is skipped. Returns how many disk lines were read.
int parse_iostat(FILE* in, counter_readings& readings);
