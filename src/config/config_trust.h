// Whether a configuration file may be used: the program runs as root and
// runs the command the file names, so only a file that nobody but root and
// the user running the program can have written or replaced is read.
#pragma once

#include <sys/stat.h>

#include "base/streams.h"

enum trust_outcome {
    trust_opened,   // *out holds the file, *st its status
    trust_missing,  // no such file to read (or a directory): nothing printed
    trust_refused,  // not safe to use: one line printed with path and reason
};

// Opens path for reading if it is a regular file owned by root or the
// effective user, writable by nobody else (group root excepted), in
// directories up to "/" that are owned by root or the effective user and
// writable by nobody else (a sticky directory excepted, whose entry then
// must be owned by root or the effective user). The checks are made on the
// opened file and, while it is held open, on each directory that holds it.
// With quiet, a refusal prints nothing.
trust_outcome config_trusted_open(const char* path, file_stream* out, struct stat* st, bool quiet = false);
