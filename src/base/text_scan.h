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
// Inline, as next_token: the parsers call both for every field.
inline bool whole_decimal(std::string_view text, uint64_t& value)
{
    if (text.empty())
        return false;
    uint64_t v = 0;
    if (text.size() < 20) {  // up to 19 digits cannot overflow
        for (const char c : text) {
            if (c < '0' || c > '9')
                return false;
            v = v * 10 + static_cast<uint64_t>(c - '0');
        }
        value = v;
        return true;
    }
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (v > (UINT64_MAX - digit) / 10)
            return false;
        v = v * 10 + digit;
    }
    value = v;
    return true;
}

// White space as isspace in the C locale.
inline bool is_scan_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Next white-space-separated token of text from pos on; empty at the end.
inline std::string_view next_token(std::string_view text, std::size_t& pos)
{
    while (pos < text.size() && is_scan_blank(text[pos]))
        pos++;
    const std::size_t start = pos;
    while (pos < text.size() && !is_scan_blank(text[pos]))
        pos++;
    return text.substr(start, pos - start);
}
