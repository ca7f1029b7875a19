// The kernel's counter files, kept open: each pass reads a file again from
// offset 0 instead of opening, reading and closing it.
#pragma once

#include <cstddef>
#include <vector>

// Reads the whole file at path into the start of buffer, through a
// descriptor kept open from pass to pass, and returns the length read. The
// buffer only grows (to the largest text read plus one chunk), so that once
// it has its size a pass neither allocates nor clears memory. A failed or
// empty read (the file went away or was replaced, or the path was changed)
// opens the path again and reads once more. Returns 0 when nothing could be
// read.
std::size_t kernel_file_read(const char* path, std::vector<char>& buffer);

// Closes every kept file (part of the sampling reset).
void kernel_files_close();
