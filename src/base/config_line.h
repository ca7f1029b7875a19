// Configuration lines printed for a person to read and paste ("-t").
#pragma once

#include <string_view>

// Prints "KEY=VALUE" with the value escaped. A value that the file cannot
// give back as it is (a "//" makes the line a comment, a control character
// ends or changes it, a long line is cut) is announced by a comment line
// first.
void config_line_print(const char* key, std::string_view value);
