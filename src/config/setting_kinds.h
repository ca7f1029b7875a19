// The kinds of setting: one constructor per kind of value fills a row with
// the parts that read, take and print such a value.
#pragma once

#include <cstddef>
#include <cstdint>

#include "config/setting_table.h"

// The parts. take: converts a value for both sources (false: refused);
// file: what the file does with its value; arg: what the command line does
// with an option's value; flag: an option that acts at once; print: "-t".
bool threshold_take(const setting_descriptor& row, const char* value);
bool minutes_take(const setting_descriptor& row, const char* value);
bool minutes_or_off_take(const setting_descriptor& row, const char* value);
bool positive_take(const setting_descriptor& row, const char* value);
bool count_take(const setting_descriptor& row, const char* value);
bool percent_take(const setting_descriptor& row, const char* value);
bool word_take(const setting_descriptor& row, const char* value);
bool word_set_take(const setting_descriptor& row, const char* value);
bool text_take(const setting_descriptor& row, const char* value);
bool name_list_take(const setting_descriptor& row, const char* value);
bool port_list_take(const setting_descriptor& row, const char* value);
bool prefix_list_take(const setting_descriptor& row, const char* value);
bool path_take(const setting_descriptor& row, const char* value);
bool device_name_take(const setting_descriptor& row, const char* value);
bool event_name_take(const setting_descriptor& row, const char* value);
bool language_take(const setting_descriptor& row, const char* value);
bool day_windows_take(const setting_descriptor& row, const char* value);
bool day_minutes_take(const setting_descriptor& row, const char* value);
bool day_times_take(const setting_descriptor& row, const char* value);

bool word_file(const setting_descriptor& row, const char* value);
bool level_file(const setting_descriptor& row, const char* value);
bool flag_file(const setting_descriptor& row, const char* value);
bool command_file(const setting_descriptor& row, const char* value);
bool expiry_command_file(const setting_descriptor& row, const char* value);

int value_arg(const setting_descriptor& row, const char* value);
int command_arg(const setting_descriptor& row, const char* value);
int config_file_arg(const setting_descriptor& row, const char* value);

int not_roop_flag(const setting_descriptor& row);
int switch_on_flag(const setting_descriptor& row);
int help_flag(const setting_descriptor& row);
int test_config_flag(const setting_descriptor& row);
int status_flag(const setting_descriptor& row);
int version_flag(const setting_descriptor& row);

void threshold_warn(const setting_descriptor& row, const char* name, const char* value, bool from_file);
void time_warn(const setting_descriptor& row, const char* name, const char* value, bool from_file);

void threshold_print(const setting_descriptor& row);
void minutes_print(const setting_descriptor& row);
void number_print(const setting_descriptor& row);
void word_print(const setting_descriptor& row);
void word_set_print(const setting_descriptor& row);
void on_off_print(const setting_descriptor& row);
void text_print(const setting_descriptor& row);
void path_print(const setting_descriptor& row);
void expiry_command_print(const setting_descriptor& row);
void not_roop_print(const setting_descriptor& row);
void language_print(const setting_descriptor& row);

// "off" and "on", for the values 0 and 1.
extern const char* const on_off_words[];

// A row whose value both sources convert with take; the command line
// refuses what take refuses, the file reports it.
constexpr setting_descriptor value_row(const char* key, const char* short_option, const char* long_option,
                                       bool (*take)(const setting_descriptor&, const char*), const setting_help& help)
{
    setting_descriptor row{};
    row.key = key;
    row.short_option = short_option;
    row.long_option = long_option;
    row.take = take;
    row.file = take;
    row.arg = value_arg;
    row.help = help;
    return row;
}

// An option that acts at once (in the file, its key does the same).
constexpr setting_descriptor flag_row(const char* key, const char* short_option, const char* long_option,
                                      int (*flag)(const setting_descriptor&),
                                      void (*print)(const setting_descriptor&), const setting_help& help)
{
    setting_descriptor row = value_row(key, short_option, long_option, nullptr, help);
    row.file = flag_file;
    row.flag = flag;
    row.print = print;
    return row;
}

// A further configuration file, read where its key or option stands.
constexpr setting_descriptor file_row(const char* key, const char* short_option, const char* long_option,
                                      const setting_help& help)
{
    setting_descriptor row = value_row(key, short_option, long_option, nullptr, help);
    row.file_text = true;
    row.hands_over = true;
    row.arg = config_file_arg;
    return row;
}

// A device to watch, registered by take.
constexpr setting_descriptor device_row(const char* key, const char* short_option, const char* long_option,
                                        bool (*take)(const setting_descriptor&, const char*), const setting_help& help)
{
    setting_descriptor row = value_row(key, short_option, long_option, take, help);
    row.file_text = true;
    return row;
}

// Unsigned, times factor, always taken; the rows of factor 1 print.
constexpr setting_descriptor threshold_row(const char* key, const char* short_option, const char* long_option,
                                           uint64_t* setting, uint64_t factor, const setting_help& help)
{
    setting_descriptor row = value_row(key, short_option, long_option, threshold_take, help);
    row.threshold = setting;
    row.factor = factor;
    row.print = factor == 1 ? threshold_print : nullptr;
    row.warn = threshold_warn;
    return row;
}

// A signed number into *setting, with the conversion and the print given.
constexpr setting_descriptor number_row(const char* key, const char* short_option, const char* long_option,
                                        int32_t* setting, bool (*take)(const setting_descriptor&, const char*),
                                        void (*print)(const setting_descriptor&), const setting_help& help)
{
    setting_descriptor row = value_row(key, short_option, long_option, take, help);
    row.number = setting;
    row.print = print;
    return row;
}

// Minutes, taken when > 0, held in seconds.
constexpr setting_descriptor minutes_row(const char* key, const char* short_option, const char* long_option,
                                         int32_t* setting, const setting_help& help)
{
    setting_descriptor row = number_row(key, short_option, long_option, setting, minutes_take, minutes_print, help);
    row.warn = time_warn;
    return row;
}

// Minutes held in seconds, 0 (off) taken too.
constexpr setting_descriptor minutes_or_off_row(const char* key, const char* short_option, const char* long_option,
                                                int32_t* setting, const setting_help& help)
{
    setting_descriptor row = minutes_row(key, short_option, long_option, setting, help);
    row.take = minutes_or_off_take;
    row.file = minutes_or_off_take;
    return row;
}

// Seconds, taken when > 0.
constexpr setting_descriptor seconds_row(const char* key, const char* short_option, const char* long_option,
                                         int32_t* setting, const setting_help& help)
{
    setting_descriptor row = number_row(key, short_option, long_option, setting, positive_take, number_print, help);
    row.warn = time_warn;
    return row;
}

// A display level: the file takes any, the command line only levels > 0.
constexpr setting_descriptor level_row(const char* key, const char* short_option, const char* long_option,
                                       int32_t* setting, const setting_help& help)
{
    setting_descriptor row = seconds_row(key, short_option, long_option, setting, help);
    row.file = level_file;
    return row;
}

// A whole percentage 0-100; the file's value without blanks around it.
constexpr setting_descriptor percent_row(const char* key, const char* short_option, const char* long_option,
                                         int32_t* setting, const setting_help& help)
{
    setting_descriptor row = number_row(key, short_option, long_option, setting, percent_take, number_print, help);
    row.file = word_file;
    return row;
}

// A whole count > 0 that the option must be given (command line only).
constexpr setting_descriptor count_row(const char* short_option, const char* long_option, int32_t* setting,
                                       const setting_help& help)
{
    setting_descriptor row = number_row(nullptr, short_option, long_option, setting, count_take, nullptr, help);
    row.needs_value = true;
    return row;
}

// One of words, held as its index; the file's value without blanks or a
// carriage return around it.
constexpr setting_descriptor word_row(const char* key, const char* short_option, const char* long_option,
                                      int32_t* setting, const char* const* words, const setting_help& help)
{
    setting_descriptor row = number_row(key, short_option, long_option, setting, word_take, word_print, help);
    row.words = words;
    row.file_text = true;
    row.file = word_file;
    return row;
}

// Any of words, comma-separated in any order, held as bits (the first word
// bit 0); "off" or an empty value: none. The file's value without blanks
// or a carriage return around it.
constexpr setting_descriptor word_set_row(const char* key, const char* short_option, const char* long_option,
                                          int32_t* setting, const char* const* words, const setting_help& help)
{
    setting_descriptor row = word_row(key, short_option, long_option, setting, words, help);
    row.take = word_set_take;
    row.print = word_set_print;
    return row;
}

// "off" or "on".
constexpr setting_descriptor on_off_row(const char* key, const char* short_option, const char* long_option,
                                        int32_t* setting, const setting_help& help)
{
    setting_descriptor row = word_row(key, short_option, long_option, setting, on_off_words, help);
    row.print = on_off_print;
    return row;
}

// "off" or "on" in the file; on the command line a flag that switches it on.
constexpr setting_descriptor switch_row(const char* key, const char* short_option, const char* long_option,
                                        int32_t* setting, const setting_help& help)
{
    setting_descriptor row = on_off_row(key, short_option, long_option, setting, help);
    row.flag = switch_on_flag;
    return row;
}

// The language of the messages, by name ("ja", "en"); the file's value
// without blanks or a carriage return around it.
constexpr setting_descriptor language_row(const char* key, const char* short_option, const char* long_option,
                                          const setting_help& help)
{
    setting_descriptor row = value_row(key, short_option, long_option, language_take, help);
    row.file_text = true;
    row.file = word_file;
    row.print = language_print;
    return row;
}

// Text into text (size bytes) when take accepts it whole; the file's value
// without blanks or a carriage return around it.
template <std::size_t size>
constexpr setting_descriptor text_row(const char* key, const char* short_option, const char* long_option,
                                      char (&text)[size], bool (*take)(const setting_descriptor&, const char*),
                                      const setting_help& help)
{
    setting_descriptor row = value_row(key, short_option, long_option, take, help);
    row.text = text;
    row.size = size;
    row.file_text = true;
    row.file = word_file;
    row.print = text_print;
    return row;
}

// Comma-separated name patterns.
template <std::size_t size>
constexpr setting_descriptor name_list_row(const char* key, const char* short_option, const char* long_option,
                                           char (&text)[size], const setting_help& help)
{
    return text_row(key, short_option, long_option, text, name_list_take, help);
}

// Comma-separated TCP ports.
template <std::size_t size>
constexpr setting_descriptor port_list_row(const char* key, const char* short_option, const char* long_option,
                                           char (&text)[size], const setting_help& help)
{
    return text_row(key, short_option, long_option, text, port_list_take, help);
}

// Comma-separated disk name prefixes.
template <std::size_t size>
constexpr setting_descriptor prefix_list_row(const char* key, const char* short_option, const char* long_option,
                                             char (&text)[size], const setting_help& help)
{
    return text_row(key, short_option, long_option, text, prefix_list_take, help);
}

// Comma-separated windows of local time (base/day_time.h).
template <std::size_t size>
constexpr setting_descriptor day_windows_row(const char* key, const char* short_option, const char* long_option,
                                             char (&text)[size], const setting_help& help)
{
    return text_row(key, short_option, long_option, text, day_windows_take, help);
}

// A report file's path; "off": none.
template <std::size_t size>
constexpr setting_descriptor path_row(const char* key, const char* short_option, const char* long_option,
                                      char (&text)[size], const setting_help& help)
{
    setting_descriptor row = text_row(key, short_option, long_option, text, path_take, help);
    row.print = path_print;
    return row;
}

// A command, taken as written; one that does not fit is refused. An empty
// file value keeps the command.
template <std::size_t size>
constexpr setting_descriptor command_row(const char* key, const char* short_option, const char* long_option,
                                         char (&text)[size], const setting_help& help)
{
    setting_descriptor row = text_row(key, short_option, long_option, text, text_take, help);
    row.file = command_file;
    row.arg = command_arg;
    return row;
}

// The check command: an empty file value switches the check off.
template <std::size_t size>
constexpr setting_descriptor check_command_row(const char* key, const char* short_option, const char* long_option,
                                               char (&text)[size], const setting_help& help)
{
    setting_descriptor row = command_row(key, short_option, long_option, text, help);
    row.file = text_take;
    return row;
}

// The expiry command: the file confirms what it took, "-t" spells out the
// default action.
template <std::size_t size>
constexpr setting_descriptor expiry_command_row(const char* key, const char* short_option,
                                                const char* long_option, char (&text)[size], const setting_help& help)
{
    setting_descriptor row = command_row(key, short_option, long_option, text, help);
    row.file = expiry_command_file;
    row.print = expiry_command_print;
    return row;
}

// Minutes from 1 to 1440 (a day), digits only, held in seconds; anything
// else is refused. The file's value without blanks around it.
constexpr setting_descriptor day_minutes_row(const char* key, const char* short_option, const char* long_option,
                                             int32_t* setting, const setting_help& help)
{
    setting_descriptor row = number_row(key, short_option, long_option, setting, day_minutes_take, minutes_print, help);
    row.file = word_file;
    return row;
}

// Times of day, as base/day_time.h reads them ("Mon-Fri 06:30,Sat 09:00").
template <std::size_t size>
constexpr setting_descriptor day_times_row(const char* key, const char* short_option, const char* long_option,
                                           char (&text)[size], const setting_help& help)
{
    return text_row(key, short_option, long_option, text, day_times_take, help);
}

