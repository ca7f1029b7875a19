// The configuration file.
#pragma once

// Reads and applies a configuration file. Returns 1 at the end of the last
// file read, -1 when the file (or a file it hands over to) cannot be read.
int read_config(const char* path);
