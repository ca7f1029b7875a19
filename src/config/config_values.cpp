#include "config/config_values.h"

#include <cstdlib>
#include <cstring>

uint64_t config_unsigned(const char* text)
{
    return strtoull(text, nullptr, 10);
}

uint64_t config_scaled(uint64_t n, uint64_t factor)
{
    if (factor != 0 && n > UINT64_MAX / factor)
        return UINT64_MAX;
    return n * factor;
}

int32_t config_signed(const char* text)
{
    const long value = strtol(text, nullptr, 10);
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

int32_t config_minutes_to_seconds(int32_t minutes)
{
    constexpr int32_t max_minutes = INT32_MAX / 60;
    if (minutes > max_minutes)
        return max_minutes * 60;
    if (minutes < -max_minutes)
        return -max_minutes * 60;
    return minutes * 60;
}

void config_set_minutes(int32_t* setting, const char* text)
{
    const int32_t minutes = config_signed(text);
    if (minutes > 0)
        *setting = config_minutes_to_seconds(minutes);
}

void config_set_positive(int32_t* setting, const char* text)
{
    const int32_t value = config_signed(text);
    if (value > 0)
        *setting = value;
}

namespace {

bool prefix_char_valid(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '_' || c == '-';
}

}  // namespace

bool config_set_prefix_list(std::string_view list, char* dest, std::size_t size)
{
    if (list.empty() || list.size() >= size)
        return false;
    bool item_empty = true;
    for (const char c : list) {
        if (c == ',') {
            if (item_empty)
                return false;
            item_empty = true;
        } else if (prefix_char_valid(c)) {
            item_empty = false;
        } else {
            return false;
        }
    }
    if (item_empty)
        return false;
    memcpy(dest, list.data(), list.size());
    dest[list.size()] = '\0';
    return true;
}

bool config_take_positive(int32_t* setting, std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    int32_t value = 0;
    if (text.empty())
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9' || value > (INT32_MAX - (c - '0')) / 10)
            return false;
        value = value * 10 + (c - '0');
    }
    if (value <= 0)
        return false;
    *setting = value;
    return true;
}

bool config_percent(std::string_view text, int32_t* setting)
{
    if (text.empty())
        return false;
    int32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
        if (value > 100)
            return false;
    }
    *setting = value;
    return true;
}

bool config_set_text(std::string_view text, char* dest, std::size_t size)
{
    if (text.size() >= size)
        return false;
    memcpy(dest, text.data(), text.size());
    dest[text.size()] = '\0';
    return true;
}

namespace {

// Calls item_ok on every item of a comma-separated list, without the spaces
// and tabs around it. True for an empty list, false at the first item that
// is empty or refused.
template <typename F>
bool config_list_valid(std::string_view list, F item_ok)
{
    if (list.empty())
        return true;
    for (std::size_t start = 0; start <= list.size();) {
        std::size_t end = list.find(',', start);
        if (end == std::string_view::npos)
            end = list.size();
        std::string_view item = list.substr(start, end - start);
        const std::size_t first = item.find_first_not_of(" \t");
        if (first == std::string_view::npos)
            return false;
        item = item.substr(first, item.find_last_not_of(" \t") + 1 - first);
        if (!item_ok(item))
            return false;
        start = end + 1;
    }
    return true;
}

bool pattern_valid(std::string_view item)
{
    for (const char c : item) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return false;
    }
    return true;
}

bool port_valid(std::string_view item)
{
    if (item.size() > 5)
        return false;
    uint32_t port = 0;
    for (const char c : item) {
        if (c < '0' || c > '9')
            return false;
        port = port * 10 + static_cast<uint32_t>(c - '0');
    }
    return port >= 1 && port <= 65535;
}

}  // namespace

bool config_set_name_list(std::string_view list, char* dest, std::size_t size)
{
    return config_list_valid(list, pattern_valid) && config_set_text(list, dest, size);
}

bool config_set_port_list(std::string_view list, char* dest, std::size_t size)
{
    return config_list_valid(list, port_valid) && config_set_text(list, dest, size);
}

bool config_set_report_path(std::string_view path, char* dest, std::size_t size)
{
    if (path == "off") {
        dest[0] = '\0';
        return true;
    }
    return !path.empty() && path.find('\0') == std::string_view::npos && config_set_text(path, dest, size);
}
