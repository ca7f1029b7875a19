// Reader of the kernel's per-interface counters, /proc/net/dev:
//   Inter-|   Receive                            |  Transmit
//    face |bytes    packets errs drop ...        |bytes    packets ...
//       lo:    3267      29    0    0 ...             3267      29 ...
// The bytes received are the first number after the name, the bytes sent
// the ninth. "ifconfig" without arguments lists only the interfaces that
// are up, in natural name order; so are they recorded here.
#include "sampling/traffic_kernel.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "base/text_scan.h"
#include "sampling/traffic_ifconfig.h"
#include "sampling/traffic_links.h"

namespace {

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// Natural order: runs of digits compare by value, so eth2 precedes eth10.
bool natural_less(const char* a, const char* b)
{
    const char* x = a;
    const char* y = b;
    while (*x != '\0' && *y != '\0') {
        if (is_digit(*x) && is_digit(*y)) {
            while (*x == '0' && is_digit(x[1]))
                x++;
            while (*y == '0' && is_digit(y[1]))
                y++;
            std::size_t nx = 0;
            std::size_t ny = 0;
            while (is_digit(x[nx]))
                nx++;
            while (is_digit(y[ny]))
                ny++;
            if (nx != ny)
                return nx < ny;
            const int c = strncmp(x, y, nx);
            if (c != 0)
                return c < 0;
            x += nx;
            y += ny;
            continue;
        }
        if (*x != *y)
            return static_cast<unsigned char>(*x) < static_cast<unsigned char>(*y);
        x++;
        y++;
    }
    if (*x != *y)
        return *x == '\0';
    return strcmp(a, b) < 0;  // equal by value ("eth01", "eth1"): any fixed order
}

// Reads the name and the two byte counters of one interface line.
bool parse_net_dev_line(std::string_view line, std::string_view& name, uint64_t& rx, uint64_t& tx)
{
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return false;  // the two header lines
    std::size_t start = 0;
    while (start < colon && (line[start] == ' ' || line[start] == '\t'))
        start++;
    name = line.substr(start, colon - start);
    if (name.empty() || name.size() >= interface_name_size || name.find_first_of(" \t/") != std::string_view::npos)
        return false;
    std::size_t pos = colon + 1;
    uint64_t values[9];
    for (uint64_t& v : values) {
        if (!whole_decimal(next_token(line, pos), v))
            return false;
    }
    rx = values[0];
    tx = values[8];
    return true;
}

}  // namespace

int parse_proc_net_dev(FILE* in, counter_readings& readings)
{
    char line[sample_line_size];
    readings.count = 0;
    interface_links_refresh();
    while (read_piece(in, line)) {
        std::string_view name;
        uint64_t rx = 0;
        uint64_t tx = 0;
        if (!parse_net_dev_line(line, name, rx, tx))
            continue;
        readings_push(readings, name, rx, tx);
        if (!interface_is_up(readings.items[readings.count - 1].name.c_str()))
            readings.count--;
    }
    readings_sort(readings, [](const std::string& a, const std::string& b) { return natural_less(a.c_str(), b.c_str()); });
    return static_cast<int>(readings.count);
}
