// Parser of the device report of "iostat". Current sysstat (12.1 and later)
// prints discard columns between the rates and the counters:
//   Device             tps    kB_read/s    kB_wrtn/s    kB_dscd/s    kB_read    kB_wrtn    kB_dscd
//   sda               3.02       410.55        61.30         0.00   35665316    5325224          0
// older versions "Device:" and name, tps, two rates, kB_read, kB_wrtn. The
// counters are found by the header's column names; without a header the old
// fixed layout is assumed.
#include "sampling/drive_iostat.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "sampling/drive.h"
#include "base/text_scan.h"

namespace {

// Token positions of the two counters (the name is token 0); -1: absent.
struct iostat_columns {
    int read;
    int write;
    bool fixed;  // no header: tokens 1 to 3 must be numbers as well
};

constexpr iostat_columns fixed_layout = {4, 5, true};

iostat_columns header_columns(std::string_view line)
{
    iostat_columns columns = {-1, -1, false};
    std::size_t pos = 0;
    int i = 0;
    for (std::string_view token = next_token(line, pos); !token.empty(); token = next_token(line, pos), i++) {
        if (token == "kB_read")
            columns.read = i;
        else if (token == "kB_wrtn")
            columns.write = i;
    }
    return columns;
}

// Whether token reads whole as a floating-point number.
bool is_number(std::string_view token)
{
    char text[64];
    if (token.size() >= sizeof text)
        return false;
    memcpy(text, token.data(), token.size());
    text[token.size()] = '\0';
    char* end = nullptr;
    (void)strtod(text, &end);
    return end == text + token.size() && end != text;
}

// Reads the name and the two counters of a disk line. false when the line
// does not hold them in convertible form.
bool parse_disk_line(std::string_view line, const iostat_columns& columns, std::string_view& name,
                     uint64_t& read, uint64_t& write)
{
    if (columns.read < 0 || columns.write < 0)
        return false;
    std::size_t pos = 0;
    name = next_token(line, pos);
    const int last = columns.read > columns.write ? columns.read : columns.write;
    bool have_read = false;
    bool have_write = false;
    for (int i = 1; i <= last; i++) {
        const std::string_view token = next_token(line, pos);
        if (token.empty())
            return false;
        if (i == columns.read)
            have_read = whole_decimal(token, read);
        else if (i == columns.write)
            have_write = whole_decimal(token, write);
        else if (columns.fixed && !is_number(token))
            return false;
    }
    return have_read && have_write;
}

}  // namespace

int parse_iostat(FILE* in, counter_readings& readings)
{
    char line[sample_line_size];
    iostat_columns columns = fixed_layout;
    readings.count = 0;
    while (read_piece(in, line)) {
        const std::string_view text(line);
        if (text.substr(0, 6) == "Device") {
            columns = header_columns(text);
            continue;
        }
        if (!disk_name_recorded(text))
            continue;
        std::string_view name;
        uint64_t read = 0;
        uint64_t write = 0;
        if (parse_disk_line(text, columns, name, read, write))
            readings_push(readings, name, read, write);
    }
    return static_cast<int>(readings.count);
}
