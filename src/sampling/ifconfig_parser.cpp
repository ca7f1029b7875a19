// Parser of the interface listing of "ifconfig" (net-tools 2.x layout): one
// block per interface, its first line "name: flags=...", indented lines
// holding "RX packets N  bytes B" and "TX packets N  bytes B".
#include <cstring>
#include <string_view>

#include "sampling/sources.h"
#include "sampling/traffic.h"

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

// Makes the text before the first ':' the current name. A name that would
// not fit leaves it empty, so that block is skipped: a cut name could merge
// two interfaces into one record.
void take_name(std::string_view line, std::size_t colon, char (&name)[interface_name_size])
{
    name[0] = '\0';
    if (colon >= interface_name_size)
        return;
    memcpy(name, line.data(), colon);
    name[colon] = '\0';
}

}  // namespace

int parse_ifconfig(FILE* in)
{
    char line[sample_line_size];
    char name[interface_name_size] = "";
    // Kept across blocks: a block without counter lines of its own (an
    // alias such as eth0:1) is recorded with the values of the one before.
    uint64_t rx = 0;
    uint64_t tx = 0;
    int recorded = 0;
    bool counters_seen = false;
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
        if (name[0] != '\0') {
            traffic_data_add(name, rx, tx);
            recorded++;
        }
        take_name(text, colon, name);
    }
    if (name[0] != '\0') {
        traffic_data_add(name, rx, tx);
        recorded++;
    }
    return counters_seen ? recorded : 0;
}
