// Disk I/O sampler: per-disk kilobyte counters, read from "iostat" or from
// the kernel's disk statistics (/proc/diskstats).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/activity.h"
#include "sampling/counter_table.h"

struct drive_entry {
    std::string name;
    uint64_t read_total;      // KB-read counter as last read
    uint64_t read_increased;  // KB read since the last check
    uint64_t write_total;     // KB-written counter as last read
    uint64_t write_increased; // KB written since the last check
    drive_entry* next;
    uint64_t seen;            // the sampling run that listed it last
};

extern counter_table<drive_entry> drive_table;
// The first record; the list is in the order of first sighting.
extern drive_entry* const& drive_data;

// One sampling run: reads the disks' counters and records them.
void get_drive_data();
// Updates the record of name with new counter readings, or appends one.
void drive_data_add(std::string_view name, uint64_t read, uint64_t write);
// Prints the disk progress lines.
void drive_data_disp();
// The disk check: compares each disk's growth with the thresholds, reports
// into check, and clears the growth.
void drive_data_check(activity_check& check);
// Frees every record and forgets the sampler's warning and switch.
void drive_data_clear();
// Where the readings come from: "command" or "kernel".
const char* drive_origin();
// "-t": each whole disk that the kernel lists now and whether it is watched.
void drive_describe();
// The whole disks that the disk source watches, as the kernel lists them
// now (none while both disk thresholds are 0), for the sources that ask
// the drives themselves.
std::vector<std::string> drive_whole_disks();

// Whether name begins with one of the comma-separated prefixes of list
// (blanks around a prefix and empty prefixes are ignored).
bool disk_prefix_match(std::string_view list, std::string_view name);
// The watched prefixes of the settings.
std::string_view disk_prefix_list();

// Set while calibrating: every disk that a source lists is recorded,
// whatever the prefixes (its name must still begin with a letter, which
// leaves out the sources' other lines).
extern bool drive_every_disk;
// Whether the samplers record the disk that name (or a line) begins with.
bool disk_name_recorded(std::string_view name);
