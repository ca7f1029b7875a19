// Network traffic sampler: per-interface byte counters, read from "ifconfig"
// or from the kernel's counters (/proc/net/dev).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/activity.h"
#include "sampling/counter_table.h"

struct traffic_entry {
    uint64_t rx_total;      // receive counter as last read
    uint64_t rx_increased;  // bytes received since the last check
    uint64_t tx_total;      // send counter as last read
    uint64_t tx_increased;  // bytes sent since the last check
    std::string name;
    traffic_entry* next;
    uint64_t seen;          // the sampling run that listed it last
};

extern counter_table<traffic_entry> traffic_table;
// The first record; the list is in the order of first sighting.
extern traffic_entry* const& traffic_data;

// One sampling run: reads the interfaces' counters and records them.
void get_traffic_data();
// Updates the record of name with new counter readings, or appends one;
// an interface matching settings.ignore_interfaces gets none.
void traffic_data_add(std::string_view name, uint64_t rx, uint64_t tx);
// Prints the traffic progress lines.
void disp_traffic_data();
// The network check: compares each interface's growth with the thresholds,
// reports into check, and clears the growth.
void traffic_data_check(activity_check& check);
// Frees every record and forgets the sampler's warning and switch.
void traffic_data_clear();
// Where the readings come from: "command" or "kernel".
const char* traffic_origin();
// "-t": each interface that the kernel lists now and whether it is watched.
void traffic_describe();
