// Text scanning shared by the parsers of command output and kernel files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

// Command output and kernel files are read in pieces of at most 2047 bytes.
constexpr std::size_t sample_line_size = 2048;

// Reads the next piece: up to and including a line feed, or 2047 bytes.
// Returns false at the end of the stream.
bool read_piece(FILE* in, char (&line)[sample_line_size]);

// The leading run of decimal digits of text as a number (0 without digits;
// saturates at the largest value).
uint64_t leading_decimal(std::string_view text);
// text as a number when it is made of decimal digits only and fits.
bool whole_decimal(std::string_view text, uint64_t& value);

// Next white-space-separated token of text from pos on; empty at the end.
std::string_view next_token(std::string_view text, std::size_t& pos);
