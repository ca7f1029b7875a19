// Values that report files hold one per line or one per token.
#pragma once

#include <string>
#include <string_view>

// text with control characters (and the backslash, which starts an escape)
// written as \xNN, and with spaces too when escape_space is set, so that a
// value stays on its line and a token stays whole.
std::string report_escape(std::string_view text, bool escape_space);

// Whether text holds a control character.
bool has_control(std::string_view text);
