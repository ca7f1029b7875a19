// The configuration file.
#pragma once

#include <cstdio>
#include <string>

// Reads and applies a configuration file. Returns 1 at the end of the last
// file read, -1 when the file (or a file it hands over to) cannot be read,
// is refused as unsafe, or a "FILE=" chain returns to a file already read.
int read_config(const char* path);

// Applies the lines of fp up to its end or up to a "FILE=" line. Returns
// true, with the named path in *handover, when reading is to go on in that
// file; false at the end of fp.
bool config_stream_apply(FILE* fp, std::string* handover);

// Applies one piece of at most 255 bytes as read (line feed included, if
// any). Returns true, with the path in *handover, for a "FILE=" line.
bool config_line_apply(char* piece, std::string* handover);
