// Lines that the calibration run prints: its start, its progress and the
// closing report with ready-to-paste settings.
#pragma once

// The start of a calibration run of minutes minutes.
void calibration_start_print(int minutes);
// One progress line per check: time left and checks done.
void calibration_progress_print(int seconds_left, int checks_done);
// The closing report: per series the largest and the 95th-percentile growth
// per check period (per input device and source the periods with activity),
// the warnings, the proposed settings as configuration lines and how many
// periods would have been idle with them.
void calibration_report_print();
