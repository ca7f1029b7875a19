// What the program would run with, printed so that it can be read by a
// person and pasted into a configuration file.
#pragma once

// Prints what each source sees now ("-t"): each registered device as a
// "// NAME" line followed by its "EVENT=" line, then the interfaces and
// disks that the kernel lists now and whether each is watched, and so on.
// Runs no sampler.
void config_system_print();

// Prints "lullwatcher VERSION".
void version_print();
