#include "sampling/counter_table.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "base/stop.h"
#include "base/streams.h"
#include "base/text_escape.h"
#include "sampling/kernel_file.h"
#include "sampling/sources.h"

void readings_push(counter_readings& readings, std::string_view name, uint64_t first, uint64_t second)
{
    if (readings.count == readings.items.size())
        readings.items.emplace_back();
    counter_reading& r = readings.items[readings.count++];
    r.name.assign(name.data(), name.size());
    r.first = first;
    r.second = second;
}

namespace {

// Moves each reading to its place: sort_order[k] is the index of the reading
// that belongs at k. Each cycle of the permutation in turn; every place
// takes the reading that belongs there and is marked done.
void move_into_order(std::vector<counter_reading>& items, const std::vector<std::size_t>& sort_order)
{
    static std::vector<std::size_t> order;  // kept from pass to pass so that its storage is
    order = sort_order;
    for (std::size_t start = 0; start < order.size(); start++) {
        if (order[start] == start)
            continue;
        counter_reading first = std::move(items[start]);
        std::size_t at = start;
        while (order[at] != start) {
            const std::size_t from = order[at];
            items[at] = std::move(items[from]);
            order[at] = at;
            at = from;
        }
        items[at] = std::move(first);
        order[at] = at;
    }
}

}  // namespace

void readings_sort(counter_readings& readings, bool (*less)(const std::string& a, const std::string& b))
{
    std::vector<counter_reading>& items = readings.items;
    const std::size_t n = readings.count;
    std::size_t i = 1;
    while (i < n && !less(items[i].name, items[i - 1].name))
        i++;
    if (i >= n)
        return;
    bool same = readings.sorted_from.size() == n;
    for (i = 0; same && i < n; i++)
        same = items[i].name == readings.sorted_from[i];
    if (!same) {
        readings.sorted_from.resize(n);
        for (i = 0; i < n; i++)
            readings.sorted_from[i] = items[i].name;
        readings.sort_order.resize(n);
        std::iota(readings.sort_order.begin(), readings.sort_order.end(), std::size_t{0});
        std::sort(readings.sort_order.begin(), readings.sort_order.end(),
                  [&items, less](std::size_t a, std::size_t b) { return less(items[a].name, items[b].name); });
    }
    move_into_order(items, readings.sort_order);
}

void readings_record(const counter_readings& readings, void (*add)(std::string_view, uint64_t, uint64_t))
{
    for (std::size_t i = 0; i < readings.count; i++)
        add(readings.items[i].name, readings.items[i].first, readings.items[i].second);
}

namespace {

// Whether a name needs no escape: printable ASCII only (the usual case,
// checked without building a string).
bool plain_name(const char* name)
{
    for (; *name != '\0'; name++) {
        const auto c = static_cast<unsigned char>(*name);
        if (c < 0x20 || c >= 0x7f)
            return false;
    }
    return true;
}

}  // namespace

void print_counter_line(const char* format, const char* shown_name, unsigned long long value)
{
    // Names come from the kernel or a command: one holding a line feed or
    // another control character must not make a line of its own.
    std::string escaped;
    const char* name = shown_name;
    if (!plain_name(name)) {
        escaped = text_escape(name);
        name = escaped.c_str();
    }
    const char* number = strstr(format, "%llu");
    const std::size_t name_size = strlen(name);
    char line[512];
    if (strncmp(format, "%s", 2) != 0 || number == nullptr || strchr(format + 2, '%') != number ||
        strchr(number + 4, '%') != nullptr || name_size + strlen(format) + 20 > sizeof line) {
        printf(format, name, value);
        return;
    }
    char* at = line;
    memcpy(at, name, name_size);
    at += name_size;
    memcpy(at, format + 2, static_cast<std::size_t>(number - (format + 2)));
    at += number - (format + 2);
    at = std::to_chars(at, line + sizeof line, value).ptr;
    const std::size_t tail = strlen(number + 4);
    memcpy(at, number + 4, tail);
    at += tail;
    (void)fwrite(line, 1, static_cast<std::size_t>(at - line), stdout);
}

namespace {

// Hands the size bytes at text to parse as a stream.
int parse_text(counter_parser parse, char* text, std::size_t size, counter_readings& readings)
{
    file_stream in(fmemopen(text, size, "r"));
    return in ? parse(in.get(), readings) : 0;
}

// A command's whole output, kept from run to run so that its storage is.
std::string command_output;

int read_command(const sampler_sources& sources, counter_readings& readings)
{
    readings.count = 0;
    if (!run_sampler_command(sources.command, command_output) || command_output.empty())
        return 0;
    const int found = parse_text(sources.parse_command, &command_output[0], command_output.size(), readings);
    if (found <= 0)
        readings.count = 0;  // nothing usable: nothing of it is recorded
    return found;
}

// Room for a kernel file's whole text, kept from pass to pass.
std::vector<char> kernel_text;

int read_kernel(const sampler_sources& sources, counter_readings& readings)
{
    readings.count = 0;
    const std::size_t length = kernel_file_read(sources.kernel_path, kernel_text);
    return length == 0 ? 0 : parse_text(sources.parse_kernel, kernel_text.data(), length, readings);
}

}  // namespace

bool sampler_read(sampler_state& state, const sampler_sources& sources, bool kernel_only,
                  counter_readings& readings)
{
    if (!kernel_only && !state.on_kernel) {
        if (read_command(sources, readings) > 0)
            return true;
        // A run cut short by a stop request says nothing about the command.
        if (stop_requested())
            return false;
        // Watching nothing in silence is worse than reading the same
        // counters from the kernel: switch for the rest of the run.
        state.on_kernel = true;
        const bool found = read_kernel(sources, readings) > 0;
        if (!state.warned)
            sources.warn(found ? warning_switched : warning_nothing_anywhere);
        state.warned = true;
        return found;
    }
    if (read_kernel(sources, readings) > 0)
        return true;
    if (!state.warned)
        sources.warn(warning_nothing_in_kernel);
    state.warned = true;
    return false;
}
