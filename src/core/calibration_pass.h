// The passes and checks of a calibration run, which the watch loop drives:
// every interface and every disk sampled, and at each check what every
// source did in the period handed to the recorder.
#pragma once

// Starts a run of minutes minutes: every disk is sampled from now on.
void calibration_pass_begin(int minutes);
// One display pass: samples every interface and every disk, silently.
void calibration_pass_sample();
// One check: records the growth of every interface and disk, the events of
// every input device and the verdicts of the switched-on activity sources,
// then prints the progress line. Returns false once the run is over.
bool calibration_pass_check();
// Ends the run: the disk prefixes apply again.
void calibration_pass_end();
