// The one escaper: text from outside the program (names from the kernel,
// from logind, from processes; values of the settings) made safe to print
// on one line or write as one value.
#pragma once

#include <string>
#include <string_view>

// Returns text with every control character (C0, DEL and C1), every byte
// that is not part of valid UTF-8 and every byte listed in extra written as
// \xNN (two lower-case hex digits). Valid printable UTF-8 passes unchanged.
std::string text_escape(std::string_view text, std::string_view extra = {});

// Turns every \xNN (two hex digits, either case) of text back into its
// byte; anything else, a backslash not starting such a group too, passes
// unchanged.
std::string text_unescape(std::string_view text);
