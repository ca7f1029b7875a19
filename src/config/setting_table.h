// The settings that the configuration file and the command line both fill:
// one row per key and option, carrying how each source takes its value, how
// "-t" prints it and its help item, so that a value is converted the same
// way wherever it comes from and a setting is one row.
#pragma once

#include <cstddef>
#include <cstdint>

struct setting_descriptor;

// A row's help item: the line that names its options, and the lines that
// describe them.
struct setting_help {
    const char* options;
    const char* text;
    bool last = false;  // printed after every other item
};

struct setting_descriptor {
    const char* key;           // file key, found anywhere in a line; nullptr: none
    const char* short_option;  // option texts, matched exactly (thresholds: see below);
                               // a row without a short form repeats its long one
    const char* long_option;

    // The value, converted alike for both sources. Returns false, with the
    // setting left alone, when the value is refused.
    bool (*take)(const setting_descriptor& row, const char* value);

    // The file. file_text: the value is text taken as written up to the line
    // end (a carriage return before the line feed dropped, a value that the
    // line would cut not used at all) rather than read as far as it goes.
    // hands_over: the key names the file that reading goes on in.
    bool file_text;
    bool hands_over;
    // Applies the file's value. Returns false when it is refused: the line is
    // reported.
    bool (*file)(const setting_descriptor& row, const char* value);

    // The command line. A flag acts at once and leaves the pending mode;
    // without one, the next plain argument is the option's value and arg
    // takes it. Both return 0 to go on, -1 to end the parse (a refusal is
    // reported), or arg_finished.
    int (*flag)(const setting_descriptor& row);
    int (*arg)(const setting_descriptor& row, const char* value);
    bool needs_value;  // the option left without its value refuses the command line

    // "-t": prints the setting as a file line; nullptr: prints nothing.
    void (*print)(const setting_descriptor& row);
    // Numbers: after the value was applied, one warning line naming the key
    // or option (name) when the value was no plain number or was ignored;
    // nullptr for other rows. from_file: the file's own rule for the value.
    void (*warn)(const setting_descriptor& row, const char* name, const char* value, bool from_file);
    setting_help help;

    // Where the value goes, as the row's kind needs.
    uint64_t* threshold;  // thresholds, times factor
    uint64_t factor;
    int32_t* number;      // times, levels, counts and enumerated words
    const char* const* words;  // the enumerated words by value, nullptr-ended
    char* text;           // text settings of size bytes
    std::size_t size;
};

// In the order in which keys are searched in a line and options compared.
// A threshold row of factor 1 heads its family: every option that contains
// its short form belongs to the family, and the rows that follow it with the
// same setting give the unit factors of their exact texts.
extern const setting_descriptor setting_table[];
extern const std::size_t setting_table_size;

// The row of the first key, in table order, that occurs anywhere in line,
// with *value pointing just after that key's first occurrence; nullptr when
// the line holds no key.
const setting_descriptor* setting_key_find(const char* line, const char** value);

// The row of an option: the first row in table order whose option equals
// arg, a threshold family containing arg's pattern standing in its place.
// nullptr when no row matches.
const setting_descriptor* setting_option_find(const char* arg);

// The row of the messages' language (MESSAGES=, -ms).
const setting_descriptor& setting_language_row();

// True for rows whose file value is text taken as it stands (no number).
inline bool setting_takes_text(const setting_descriptor& row)
{
    return row.file_text;
}
