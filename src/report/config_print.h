// What the program would run with, printed so that it can be read by a
// person and pasted into a configuration file.
#pragma once

#include <string_view>

// Prints a text setting as the configuration line "KEY=value", value
// escaped, after a comment line when the file would not read the value back
// as it is.
void config_text_print(const char* key, std::string_view value);

// Prints each registered device as a "// NAME" line followed by its
// "EVENT=" line, then the interfaces and disks that the kernel lists now
// and whether each is watched. Reads the device listing; runs no sampler.
void config_system_print();

// Prints "lullwatcher VERSION".
void version_print();
