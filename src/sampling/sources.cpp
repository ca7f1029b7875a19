#include "sampling/sources.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "sampling/traffic.h"

const char* ifconfig_command = ifconfig_command_default;
const char* iostat_command = iostat_command_default;
const char* proc_net_dev_path = proc_net_dev_path_default;
const char* diskstats_path = diskstats_path_default;
const char* sys_block_path = sys_block_path_default;

sampler_state traffic_sampler = {false, false};
sampler_state drive_sampler = {false, false};

void sampling_seams_reset()
{
    ifconfig_command = ifconfig_command_default;
    iostat_command = iostat_command_default;
    proc_net_dev_path = proc_net_dev_path_default;
    interface_is_up = interface_flags_up;
    diskstats_path = diskstats_path_default;
    sys_block_path = sys_block_path_default;
}

void sampling_warnings_reset()
{
    traffic_sampler = {false, false};
    drive_sampler = {false, false};
}

bool read_piece(FILE* in, char (&line)[sample_line_size])
{
    return fgets(line, sizeof line, in) != nullptr;
}

pipe_stream open_sampler_command(const char* command)
{
    // The layout of both commands' output follows the locale; the C locale
    // gives the one the parsers know. Only the child's environment changes.
    const std::string text = std::string("export LC_ALL=C; ") + command;
    return pipe_stream(popen(text.c_str(), "re"));
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

bool batch_push(reading_batch& batch, std::string_view name, uint64_t first, uint64_t second)
{
    if (name.size() >= sizeof(counter_reading::name))
        return false;
    if (batch.count == batch.capacity) {
        const std::size_t capacity = batch.capacity == 0 ? 32 : batch.capacity * 2;
        void* items = realloc(static_cast<void*>(batch.items), capacity * sizeof(counter_reading));
        if (items == nullptr)
            return false;
        batch.items = static_cast<counter_reading*>(items);
        batch.capacity = capacity;
    }
    counter_reading& r = batch.items[batch.count++];
    memcpy(r.name, name.data(), name.size());
    r.name[name.size()] = '\0';
    r.first = first;
    r.second = second;
    return true;
}
