// What the program would run with, printed so that it can be read by a
// person and pasted into a configuration file.
#pragma once

// Prints every setting as a configuration line in the file's key order
// (thresholds in bytes and KB, times in the file's units, the expiry action
// spelled out), then each registered device as a "// NAME" line followed by
// its "EVENT=" line, then the interfaces and disks that the kernel lists
// now and whether each is watched. Reads the device listing; runs no
// sampler and no expiry command.
void test_config_print();

// Prints "lullwatcher VERSION".
void version_print();
