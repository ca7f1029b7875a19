// Where the samplers read their counters, and the helpers both share: the
// commands and kernel files (seams that tests point elsewhere), the line
// reader, and the once-only warning and fallback state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "base/streams.h"

constexpr const char* ifconfig_command_default = "ifconfig";
constexpr const char* iostat_command_default = "iostat";
constexpr const char* proc_net_dev_path_default = "/proc/net/dev";
constexpr const char* diskstats_path_default = "/proc/diskstats";
constexpr const char* sys_block_path_default = "/sys/block";

extern const char* ifconfig_command;
extern const char* iostat_command;
extern const char* proc_net_dev_path;    // per-interface byte counters
extern const char* diskstats_path;       // per-disk sector counters
extern const char* sys_block_path;       // <dir>/<disk> exists for whole disks

// Puts the commands and paths above, and interface_is_up, back to their
// defaults.
void sampling_seams_reset();
// Forgets the warnings already printed and the switches to the kernel
// counters, as at process start.
void sampling_warnings_reset();

// Command output and kernel files are read in pieces of at most 2047 bytes.
constexpr std::size_t sample_line_size = 2048;

// Reads the next piece: up to and including a line feed, or 2047 bytes.
// Returns false at the end of the stream.
bool read_piece(FILE* in, char (&line)[sample_line_size]);

// Starts command through the shell in the C locale (for the child only),
// close-on-exec; an empty pointer when it cannot be started.
pipe_stream open_sampler_command(const char* command);

// The leading run of decimal digits of text as a number (0 without digits;
// saturates at the largest value).
uint64_t leading_decimal(std::string_view text);
// text as a number when it is made of decimal digits only and fits.
bool whole_decimal(std::string_view text, uint64_t& value);

// Next white-space-separated token of text from pos on; empty at the end.
std::string_view next_token(std::string_view text, std::size_t& pos);

// Growth of a cumulative counter from total to reading: a reading below the
// previous one counts in full, as if the counter had started again from 0.
inline uint64_t counter_growth(uint64_t total, uint64_t reading)
{
    return reading < total ? reading : reading - total;
}

// One interface's or disk's pair of readings from a kernel file.
struct counter_reading {
    char name[32];
    uint64_t first;
    uint64_t second;
};

// The readings of one pass over a kernel file, gathered so that they are
// recorded in the order the command would list them. Its storage is kept
// for the next pass.
struct reading_batch {
    counter_reading* items = nullptr;
    std::size_t count = 0;
    std::size_t capacity = 0;
};

// Appends a reading. Returns false (and drops it) when the name does not fit
// or memory ran out.
bool batch_push(reading_batch& batch, std::string_view name, uint64_t first, uint64_t second);

// A sampler's fallback and warning state.
struct sampler_state {
    bool on_kernel;  // switched to the kernel counters for the rest of the run
    bool warned;     // its one warning has been printed
};
extern sampler_state traffic_sampler;
extern sampler_state drive_sampler;
