// Reader of the kernel's per-disk statistics, /proc/diskstats.
#pragma once

#include <cstdio>

#include "sampling/counter_table.h"

// Parses /proc/diskstats into readings of each whole disk (an entry of
// sys_block_path) with a watched prefix that has seen any I/O, as "iostat"
// lists them by default: in name order, kilobytes = sectors / 2. Returns
// how many disks there are.
int parse_diskstats(FILE* in, counter_readings& readings);

// Forgets which names are whole disks (part of the sampling reset).
void diskstats_forget();
