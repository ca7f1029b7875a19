// Value conversions shared by the configuration file and the command line,
// so that both sources read a value the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Threshold text: strtoull rules at base 10 (leading white space, optional
// sign, digits up to the first other character; no digits give 0; beyond
// 64 bits gives the largest value).
uint64_t config_unsigned(const char* text);

// n * factor, saturated at the largest 64-bit value instead of wrapping.
uint64_t config_scaled(uint64_t n, uint64_t factor);

// Time or level text: strtol rules at base 10, clamped to the signed 32-bit
// range.
int32_t config_signed(const char* text);

// Minutes to seconds, clamped so that the seconds fit in 32 bits.
int32_t config_minutes_to_seconds(int32_t minutes);

// Sets a time in seconds from text in minutes (config_set_minutes) or in
// seconds when the value is greater than 0; otherwise leaves it alone.
void config_set_minutes(int32_t* setting, const char* text);
void config_set_positive(int32_t* setting, const char* text);

// Takes a comma-separated list of disk-name prefixes into dest of size
// bytes. Returns false, leaving it alone, when the list is empty, too long,
// has an empty item or a character other than [A-Za-z0-9_-] and commas.
bool config_set_prefix_list(std::string_view list, char* dest, std::size_t size);

// Sets *setting from text when it is a whole decimal number greater than 0
// (surrounding blanks allowed). Returns false, leaving it alone, otherwise.
bool config_take_positive(int32_t* setting, std::string_view text);

// The activity sources' values. Each returns false, leaving the setting
// alone, for a value that it does not take.

// A whole percentage from 0 to 100, digits only.
bool config_percent(std::string_view text, int32_t* setting);

// Copies text into dest of size bytes when it fits whole.
bool config_set_text(std::string_view text, char* dest, std::size_t size);

// A comma-separated list of name patterns (spaces around an item allowed):
// empty as a whole (none), or items that are neither empty nor hold a
// control character.
bool config_set_name_list(std::string_view list, char* dest, std::size_t size);

// A comma-separated list of TCP ports 1-65535; empty as a whole means none.
bool config_set_port_list(std::string_view list, char* dest, std::size_t size);

// Takes a report file's path into dest of size bytes; "off" empties it,
// which switches that report off. Returns false, leaving it alone, when the
// path is empty or does not fit: a cut path would write somewhere nobody
// named.
bool config_set_report_path(std::string_view path, char* dest, std::size_t size);
