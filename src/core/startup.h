// Start-up: where the settings come from, the time check, then watching.
#pragma once

// The configuration file read when the program has no arguments and none is
// found in the working directory; tests point it elsewhere.
extern const char* system_config_path;
extern const char* const default_system_config_path;

// The whole program: returns 0 after the watch loop ended, -1 when the
// command line was refused, help was printed or the times are inconsistent.
// With "-t" it prints the settings instead of watching and returns 0, or -1
// when a start would be refused; "--status" and "--version" return their
// own exit status.
int lullwatcher_main(int argc, char** argv);

// Reads "lullwatcher.conf" from the working directory, else the system file.
// Returns false when a file was refused and the program must not start.
bool read_default_config();

// Checks disp_interval <= check_interval <= exfire_time, and a notice time
// shorter than the expiry time when a notice is set, printing the refusal
// when they are not. Returns true when they are consistent.
bool time_settings_valid();

// Asks each LAN_WAKE= interface once whether it supports magic-packet
// wake; one that does not, or does not exist, gets one warning line (the
// expiry action will not be carried out while it cannot be armed).
void lan_wake_startup_check();
