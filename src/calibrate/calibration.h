// Threshold calibration: records what every source grew by in each check
// period while nobody uses the machine, and proposes thresholds from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What a recorded series measures.
enum calibration_kind : int {
    calibration_interface,  // network bytes; direction in = receive, out = send
    calibration_disk,       // disk kilobytes; direction in = read, out = write
    calibration_input,      // input device: 1 when it had events in the period
    calibration_source,     // another activity source: 1 when it said busy
};

enum calibration_direction : int {
    calibration_in,
    calibration_out,
    calibration_none,  // input devices and other sources
};

// One series: its growth (or 0/1 verdict) in every check period so far.
struct calibration_series {
    std::string name;
    calibration_kind kind;
    calibration_direction direction;
    std::vector<uint64_t> growth;
};

// A proposed threshold: the configuration key (with its unit suffix) and the
// value in that key's unit; threshold is the value in the setting's unit
// (bytes for the network, kilobytes for the disks). key is empty when no
// series of that kind and direction was recorded.
struct calibration_suggestion {
    std::string key;
    uint64_t value = 0;
    uint64_t threshold = 0;
};

// Adds growth to the series (name, kind, direction) for the current period,
// creating the series on first sight. A series first seen late counts 0 in
// the periods before, as a first sighting counts no growth.
void calibration_feed(const char* name, calibration_kind kind, calibration_direction direction,
                      uint64_t growth);
// Closes the current check period; series not fed in it count 0.
void calibration_check_done();
// Periods closed so far.
int calibration_checks();
// Every series in order of first sighting, padded to calibration_checks().
const std::vector<calibration_series>& calibration_recorded();

// Nearest-rank percentile: the smallest recorded value with at least percent
// of all values at or below it (the value at rank ceil(percent/100 x n) in
// ascending order). 0 for no values.
uint64_t nearest_rank_percentile(std::vector<uint64_t> values, int percent);
// The smallest value of the form 1, 2 or 5 x 10^n that is at least value.
uint64_t round_threshold_up(uint64_t value);
// The values of series in the closed periods.
std::vector<uint64_t> calibration_values(const calibration_series& series);
// For each closed period, whether it looks like real use in series: its
// growth is above the floor of its kind (the default threshold) and more
// than ten times the median of the other periods (the lower median when
// their count is even). Input devices and sources never do.
std::vector<bool> calibration_used_periods(const calibration_series& series);
// The proposed threshold for kind and direction: a round value at least twice
// the largest growth of any such series outside the periods that look like
// real use, at least 1 KB for the network.
calibration_suggestion calibration_suggest(calibration_kind kind, calibration_direction direction);
// How many periods would have been idle with the four proposed thresholds:
// no growth above them, no input events and no busy source.
int calibration_idle_periods();

// Forgets every series and period (the folder's one reset).
void calibrate_reset();
