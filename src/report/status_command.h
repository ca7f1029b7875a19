// lullwatcher --status: the status file read back for a person.
#pragma once

// The path of the status file that the packaged service writes.
constexpr const char* status_path_default = "/run/lullwatcher/status";

// Exit statuses of an LSB status action.
enum status_exit : int {
    status_exit_running = 0,
    status_exit_stale = 3,    // the file's process is not running
    status_exit_unknown = 4,  // no readable status file
};

// Prints the file at path and returns a status_exit: running when the pid
// in the file is alive and is this program.
int status_command(const char* path);

// Whether the process pid runs this program (by its executable's name, or
// by its command name where the executable cannot be read).
bool process_is_lullwatcher(long pid);
