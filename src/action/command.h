// Running command lines through the system shell.
#pragma once

// Runs command_line with /bin/sh -c, in the program's own environment and in
// a process group of its own, and waits for it. Returns the wait status, or -1 if it could not be started.
int run_command(const char* command_line);

// The runner used for the expiry commands; tests replace it with a recorder.
extern int (*expiry_runner)(const char* command_line);

// Runs command_line with expiry_runner and reports on standard output when it
// could not be started or did not end with status 0. Returns true on success.
bool run_reported(const char* command_line);
