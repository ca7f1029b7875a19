// The kernel's counter files, kept open: each pass reads a file again from
// offset 0 instead of opening, reading and closing it.
#pragma once

#include <string>

// Reads the whole file at path into content, through a descriptor kept open
// from pass to pass. A failed or empty read (the file went away or was
// replaced, or the path was changed) opens the path again and reads once
// more. Returns false, with content empty, when nothing could be read.
bool kernel_file_read(const char* path, std::string& content);

// Closes every kept file (part of the sampling reset).
void kernel_files_close();
