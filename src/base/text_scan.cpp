#include "base/text_scan.h"

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
