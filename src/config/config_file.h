// The configuration file.
#pragma once

#include <cstdio>
#include <string>

#include "config/setting_table.h"

// Result of read_config for a file that must stop the program from
// starting: refused as unsafe, or a "FILE=" chain that comes back to a file
// already read or runs too long. Its line has been printed.
constexpr int config_read_refused = -2;

// Reads and applies a configuration file. Returns 1 at the end of the last
// file read, -1 when the file cannot be opened (silently) or a "FILE=" line
// names one that cannot (with a line), config_read_refused as above. What
// was applied before a failure stays.
int read_config(const char* path);

// Prints every setting as a configuration line in the file's key order
// (thresholds in bytes and KB, times in the file's units, the expiry action
// spelled out), then what config_system_print adds. Runs no sampler and no
// expiry command.
void test_config_print();

// Looks for the last line in path (and the files it hands over to) whose
// key is wanted's, and puts its value, as reading the file would take it,
// into found (empty: none); nothing is applied or printed. Returns false
// when path itself cannot be opened.
bool config_scan_value(const char* path, const setting_descriptor& wanted, std::string& found);

// config_scan_value for MESSAGES=, its value without blanks around it.
bool config_language_scan(const char* path, std::string& language);

// Applies the lines of fp up to its end or up to a "FILE=" line. Returns
// true, with the named path in *handover, when reading is to go on in that
// file; false at the end of fp.
bool config_stream_apply(FILE* fp, std::string* handover);
