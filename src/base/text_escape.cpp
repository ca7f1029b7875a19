#include "base/text_escape.h"

namespace {

bool in_range(unsigned char c, unsigned char low, unsigned char high)
{
    return c >= low && c <= high;
}

// Length of the well-formed UTF-8 sequence that starts at text[at] (2 to 4),
// or 0 when none does: no overlong forms, surrogates or values past U+10FFFF.
std::size_t utf8_length(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) {
        return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0;
    };
    const unsigned char lead = byte(0);
    unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
    std::size_t length;
    if (in_range(lead, 0xC2, 0xDF)) {
        length = 2;
    } else if (in_range(lead, 0xE0, 0xEF)) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (in_range(lead, 0xF0, 0xF4)) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (!in_range(byte(1), low, high))
        return 0;
    for (std::size_t i = 2; i < length; i++) {
        if (!in_range(byte(i), 0x80, 0xBF))
            return 0;
    }
    return length;
}

void append_hex(std::string& out, unsigned char c)
{
    static const char digits[] = "0123456789abcdef";
    out += "\\x";
    out += digits[c >> 4];
    out += digits[c & 0xF];
}

// The value of a hex digit, or -1.
int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string text_escape(std::string_view text, std::string_view extra)
{
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const auto c = static_cast<unsigned char>(text[at]);
        if (c < 0x80) {
            if (c < 0x20 || c == 0x7F || extra.find(static_cast<char>(c)) != std::string_view::npos)
                append_hex(out, c);
            else
                out += static_cast<char>(c);
            at++;
            continue;
        }
        const std::size_t length = utf8_length(text, at);
        // C1 controls (U+0080 to U+009F) are C2 80 to C2 9F.
        const bool c1 = length == 2 && c == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0;
        if (length == 0 || c1) {
            // Each byte of a broken sequence is shown alone; the next byte
            // may start a valid one.
            const std::size_t count = c1 ? 2 : 1;
            for (std::size_t i = 0; i < count; i++)
                append_hex(out, static_cast<unsigned char>(text[at + i]));
            at += count;
            continue;
        }
        out.append(text, at, length);
        at += length;
    }
    return out;
}

std::string text_unescape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const int high = text.size() - at >= 4 && text[at] == '\\' && text[at + 1] == 'x' ? hex_value(text[at + 2]) : -1;
        const int low = high >= 0 ? hex_value(text[at + 3]) : -1;
        if (low < 0) {
            out += text[at++];
            continue;
        }
        out += static_cast<char>(high * 16 + low);
        at += 4;
    }
    return out;
}
