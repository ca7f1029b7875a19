// Disk I/O sampler: per-disk kilobyte counters read from "iostat".
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/activity.h"

struct drive_entry {
    char* name;               // owned copy of the device name
    uint64_t read_total;      // KB-read counter as last read
    uint64_t read_increased;  // KB read since the last check
    uint64_t write_total;     // KB-written counter as last read
    uint64_t write_increased; // KB written since the last check
    drive_entry* next;
};

extern drive_entry* drive_data;

// One sampling run: reads "iostat" and records every disk.
void get_drive_data();
// Updates the record of name with new counter readings, or appends one.
void drive_data_add(const char* name, uint64_t read, uint64_t write);
// Prints the disk progress lines.
void drive_data_disp();
// The disk check: compares each disk's growth with the thresholds, reports
// into check, and clears the growth.
void drive_data_check(activity_check& check);
// Frees every record (tests only).
void drive_data_clear();
