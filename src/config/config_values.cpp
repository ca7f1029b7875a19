#include "config/config_values.h"

#include <cstdlib>
#include <cstring>

#include "base/settings.h"

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

bool config_counter_source(std::string_view text, int32_t* source)
{
    if (text == "command")
        *source = counter_source_commands;
    else if (text == "kernel")
        *source = counter_source_kernel;
    else
        return false;
    return true;
}

namespace {

bool prefix_char_valid(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '_' || c == '-';
}

}  // namespace

bool config_set_disk_prefixes(std::string_view list)
{
    if (list.empty() || list.size() >= sizeof settings.disk_prefixes)
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
    memcpy(settings.disk_prefixes, list.data(), list.size());
    settings.disk_prefixes[list.size()] = '\0';
    return true;
}

bool config_set_report_path(char* setting, std::string_view path)
{
    if (path == "off") {
        setting[0] = '\0';
        return true;
    }
    if (path.empty() || path.size() >= report_path_size || path.find('\0') != std::string_view::npos)
        return false;
    memcpy(setting, path.data(), path.size());
    setting[path.size()] = '\0';
    return true;
}
