// Reader of the interface listing of "ifconfig".
#pragma once

#include <cstddef>
#include <cstdio>

#include "sampling/counter_table.h"

// Interface names are at most 31 bytes long.
constexpr std::size_t interface_name_size = 32;

// Parses "ifconfig" output into readings, one per interface block, in the
// order of the blocks. Returns how many there are, or 0 (and no readings)
// when the output held no byte counter at all: nothing usable, the command
// is missing or prints another layout.
int parse_ifconfig(FILE* in, counter_readings& readings);
