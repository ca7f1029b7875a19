// Replacing a file so that a reader sees the old content or the new one,
// never a mixture or a part.
#pragma once

#include <string_view>

// Writes content to a temporary file beside path (mode 0644) and renames it
// over path. Returns 0, or the errno of the step that failed; the temporary
// file is then removed. With sync set the data reach the disk before the
// rename (not needed for files under /run).
int atomic_file_write(const char* path, std::string_view content, bool sync = false);

// Writes a report file with atomic_file_write. One warning naming what
// ("状態ファイル") when writing starts failing; failing keeps that state.
void atomic_file_publish(const char* path, std::string_view content, bool& failing, const char* what);
