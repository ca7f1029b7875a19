// Reader of the kernel's per-interface counters, /proc/net/dev.
#pragma once

#include <cstdio>

#include "sampling/counter_table.h"

// Parses /proc/net/dev into readings of the interfaces that are up, in
// natural name order, as "ifconfig" without arguments lists them. Returns
// how many there are.
int parse_proc_net_dev(FILE* in, counter_readings& readings);

// Whether the interface is up (IFF_UP in its flags, asked of the kernel with
// SIOCGIFFLAGS; a single call, where reading /sys/class/net/<name>/flags
// costs a file open). Without a way to ask it counts as up; an interface
// that no longer exists is not up.
bool interface_flags_up(const char* name);
// The up test that parse_proc_net_dev uses; tests replace it.
extern bool (*interface_is_up)(const char* name);
