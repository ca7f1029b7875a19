// Reader of the kernel's per-interface counters, /proc/net/dev.
#pragma once

#include <cstdio>

#include "sampling/counter_table.h"

// Parses /proc/net/dev into readings of the interfaces that are up, in
// natural name order, as "ifconfig" without arguments lists them (the up
// test is interface_is_up). Returns how many there are.
int parse_proc_net_dev(FILE* in, counter_readings& readings);
