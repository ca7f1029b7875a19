#include "sampling/text_scan.h"

bool read_piece(FILE* in, char (&line)[sample_line_size])
{
    return fgets(line, sizeof line, in) != nullptr;
}

uint64_t leading_decimal(std::string_view text)
{
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            break;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10)
            return UINT64_MAX;
        value = value * 10 + digit;
    }
    return value;
}

bool whole_decimal(std::string_view text, uint64_t& value)
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

namespace {
bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
}  // namespace

std::string_view next_token(std::string_view text, std::size_t& pos)
{
    while (pos < text.size() && is_blank(text[pos]))
        pos++;
    const std::size_t start = pos;
    while (pos < text.size() && !is_blank(text[pos]))
        pos++;
    return text.substr(start, pos - start);
}
