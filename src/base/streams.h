// Owners of C streams: one type for a file from fopen, one for a command's
// output from popen. Both are read only here, so a failed close loses nothing.
#pragma once

#include <cstdio>
#include <memory>

struct file_closer {
    void operator()(FILE* f) const { (void)fclose(f); }
};
using file_stream = std::unique_ptr<FILE, file_closer>;

struct pipe_closer {
    void operator()(FILE* f) const { (void)pclose(f); }
};
using pipe_stream = std::unique_ptr<FILE, pipe_closer>;
