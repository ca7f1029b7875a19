#include "report/escape.h"

namespace {

bool is_control(unsigned char c)
{
    return c < 0x20 || c == 0x7f;
}

}  // namespace

std::string report_escape(std::string_view text, bool escape_space)
{
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (is_control(c) || c == '\\' || (escape_space && c == ' ')) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

bool has_control(std::string_view text)
{
    for (const char ch : text) {
        if (is_control(static_cast<unsigned char>(ch)))
            return true;
    }
    return false;
}
