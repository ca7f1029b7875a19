// Parser of the interface listing of "ifconfig" (net-tools 2.x layout): one
// block per interface, its first line "name: flags=...", indented lines
// holding "RX packets N  bytes B" and "TX packets N  bytes B".
#include "sampling/traffic_ifconfig.h"

#include <string_view>

#include "base/text_scan.h"

namespace {

// Takes the counter of an indented line into rx or tx. Returns true when the
// line held a byte counter.
bool take_counter(std::string_view line, uint64_t& rx, uint64_t& tx)
{
    uint64_t* value = &rx;
    std::size_t at = line.find("RX packets ");
    if (at == std::string_view::npos) {
        value = &tx;
        at = line.find("TX packets ");
    }
    if (at == std::string_view::npos)
        return false;
    const std::size_t bytes = line.find("bytes ", at);
    if (bytes == std::string_view::npos)
        return false;
    *value = leading_decimal(line.substr(bytes + 6));
    return true;
}

// The text before the first ':', the name of the block that it starts. A
// name that would not fit gives an empty name, so that block is skipped: a
// cut name could merge two interfaces into one record.
std::string_view take_name(std::string_view line, std::size_t colon)
{
    return colon < interface_name_size ? line.substr(0, colon) : std::string_view();
}

}  // namespace

int parse_ifconfig(FILE* in, counter_readings& readings)
{
    char line[sample_line_size];
    std::string name;
    // Kept across blocks: a block without counter lines of its own (an
    // alias such as eth0:1) is recorded with the values of the one before.
    uint64_t rx = 0;
    uint64_t tx = 0;
    bool counters_seen = false;
    readings.count = 0;
    while (read_piece(in, line)) {
        const std::string_view text(line);
        if (text.empty())
            continue;  // a piece that begins with a NUL byte
        if (text[0] == ' ' || text[0] == '\t') {
            counters_seen |= take_counter(text, rx, tx);
            continue;
        }
        const std::size_t colon = text.find(':');
        if (colon == std::string_view::npos)
            continue;  // neither ends a block nor starts one
        if (!name.empty())
            readings_push(readings, name, rx, tx);
        name.assign(take_name(text, colon));
    }
    if (!name.empty())
        readings_push(readings, name, rx, tx);
    if (!counters_seen)
        readings.count = 0;
    return static_cast<int>(readings.count);
}
