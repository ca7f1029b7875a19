// Disk I/O sampler: per-disk kilobyte counters read from "iostat".
#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "base/activity.h"

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

// Parses "iostat" output and records each disk line whose name begins with a
// watched prefix (settings.disk_prefixes). The read and write counters come
// from the columns headed "kB_read" and "kB_wrtn" when a "Device" header
// precedes the lines, else from the fixed layout: name, three numbers, read,
// write. A line whose readings do not convert is skipped. Returns how many
// disk lines were recorded.
int parse_iostat(FILE* in);
// Parses /proc/diskstats and records each whole disk (an entry of
// sys_block_path) with a watched prefix that has seen any I/O, as "iostat"
// lists them by default: in name order, kilobytes = sectors / 2. Returns how
// many disks were recorded.
int parse_diskstats(FILE* in);
// Whether name begins with one of the comma-separated prefixes of list
// (blanks around a prefix and empty prefixes are ignored).
bool disk_prefix_match(std::string_view list, std::string_view name);
// The watched prefixes of the settings.
std::string_view disk_prefix_list();
