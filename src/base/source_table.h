// The table of activity sources: input devices, network and disk counters,
// login sessions, inhibitor locks, processes, CPU, connections, the check
// command, and whatever is added after them. Each source is one row; the
// check order, the busy texts and reasons, the status file, the metrics,
// "-t", calibration and the service manager's status all walk this table.
// It is declared here, below every source, and defined where the sources
// are put together (core/sources.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/activity.h"

// Whether a switched-on source answered at its last check.
struct source_health {
    bool failing = false;
    int64_t since = 0;  // Unix seconds at which it began failing
};

// How a calibration run records a source.
enum source_calibration {
    calibrate_verdict,  // one series of its busy verdict, while switched on
    calibrate_growth,   // a series per counter from its growth; always sampled
    calibrate_devices,  // a series per input device; always asked
};

struct source_row {
    const char* kind;  // the reason tokens' first word, e.g. "net"
    bool (*on)();      // whether the settings switch it on
    // Asks the source: sets the busy verdict, appends its text to the
    // message, adds its reasons (and counters their growth).
    void (*check)(activity_check& check);
    void (*reset)();                  // seams and state back to the start; may be nullptr
    const source_health* health;      // nullptr: a source that always answers
    void (*sample)();                 // counters: one reading, at every pass; may be nullptr
    void (*display)();                // counters: the progress lines of that reading
    void (*describe)();               // "-t": lines on what it sees now; may be nullptr
    const char* (*origin)();          // counters: "command" or "kernel"; may be nullptr
    source_calibration calibration;
};

extern const source_row source_table[];
extern const std::size_t source_table_size;

// The row of kind, or nullptr.
const source_row* source_find(const char* kind);
// Whether a row answered at its last check.
bool source_answering(const source_row& row);
