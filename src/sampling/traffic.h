// Network traffic sampler: per-interface byte counters read from "ifconfig".
#pragma once

#include <cstdint>
#include <cstdio>

#include "base/activity.h"

constexpr std::size_t interface_name_size = 32;  // 31 bytes + NUL

struct traffic_entry {
    uint64_t rx_total;      // receive counter as last read
    uint64_t rx_increased;  // bytes received since the last check
    uint64_t tx_total;      // send counter as last read
    uint64_t tx_increased;  // bytes sent since the last check
    char name[interface_name_size];
    traffic_entry* next;
};

extern traffic_entry* traffic_data;

// One sampling run: reads "ifconfig" and records every interface.
void get_traffic_data();
// Updates the record of name with new counter readings, or appends one.
void traffic_data_add(const char* name, uint64_t rx, uint64_t tx);
// Prints the traffic progress lines.
void disp_traffic_data();
// The network check: compares each interface's growth with the thresholds,
// reports into check, and clears the growth.
void traffic_data_check(activity_check& check);
// Frees every record (tests only; the daemon keeps its records for life).
void traffic_data_clear();

// Parses "ifconfig" output and records each interface block. Returns how
// many blocks were recorded, or 0 when the output held no byte counter at
// all (nothing usable: the command is missing or prints another layout).
int parse_ifconfig(FILE* in);
// Parses /proc/net/dev and records each interface that is up, as "ifconfig"
// without arguments lists them, in its order. Returns how many were recorded.
int parse_proc_net_dev(FILE* in);
// Whether the interface is up (IFF_UP in its flags, asked of the kernel with
// SIOCGIFFLAGS; a single call, where reading /sys/class/net/<name>/flags
// costs a file open). Without a way to ask it counts as up; an interface
// that no longer exists is not up.
bool interface_flags_up(const char* name);
// The up test that parse_proc_net_dev uses; tests replace it.
extern bool (*interface_is_up)(const char* name);
