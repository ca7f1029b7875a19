#include "base/day_time.h"

#include <cctype>
#include <cstring>

namespace {

constexpr uint8_t every_day = 0x7f;
constexpr int minutes_per_day = 24 * 60;

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && is_blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// "Mon".."Sun" in any letter case: its tm_wday, or -1.
int parse_day_name(std::string_view text)
{
    static const char* const names[] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};
    if (text.size() != 3)
        return -1;
    for (int day = 0; day < 7; day++) {
        bool same = true;
        for (std::size_t i = 0; i < 3; i++)
            same = same && tolower(static_cast<unsigned char>(text[i])) == names[day][i];
        if (same)
            return day;
    }
    return -1;
}

// "Mon" or "Mon-Fri" as a set of tm_wday bits; 0 when invalid.
uint8_t parse_days(std::string_view text)
{
    const std::size_t dash = text.find('-');
    const int first = parse_day_name(text.substr(0, dash));
    if (dash == std::string_view::npos)
        return first < 0 ? 0 : static_cast<uint8_t>(1u << first);
    const int last = parse_day_name(text.substr(dash + 1));
    if (first < 0 || last < 0 || first == last)
        return 0;
    uint8_t days = 0;
    for (int day = first;; day = (day + 1) % 7) {
        days = static_cast<uint8_t>(days | 1u << day);
        if (day == last)
            return days;
    }
}

// "H:MM" or "HH:MM" as minutes after midnight (24:00 when allow_24 and
// only that); -1 when invalid.
int parse_clock(std::string_view text, bool allow_24)
{
    const std::size_t colon = text.find(':');
    if (colon != 1 && colon != 2)
        return -1;
    if (text.size() != colon + 3)
        return -1;
    for (std::size_t i = 0; i < text.size(); i++) {
        if (i != colon && !isdigit(static_cast<unsigned char>(text[i])))
            return -1;
    }
    int hours = text[0] - '0';
    if (colon == 2)
        hours = hours * 10 + (text[1] - '0');
    const int minutes = (text[colon + 1] - '0') * 10 + (text[colon + 2] - '0');
    if (minutes > 59 || hours > 24 || (hours == 24 && (!allow_24 || minutes != 0)))
        return -1;
    return hours * 60 + minutes;
}

// Splits an entry into its days (every day when it has none) and its time
// text. False when the day part is invalid.
bool split_entry(std::string_view entry, uint8_t& days, std::string_view& clock)
{
    std::size_t blank = 0;
    while (blank < entry.size() && !is_blank(entry[blank]))
        blank++;
    if (blank == entry.size()) {
        days = every_day;
        clock = entry;
        return true;
    }
    days = parse_days(entry.substr(0, blank));
    clock = trimmed(entry.substr(blank));
    return days != 0;
}

bool parse_window(std::string_view entry, day_window& window)
{
    std::string_view clock;
    if (!split_entry(entry, window.days, clock))
        return false;
    const std::size_t dash = clock.find('-');
    if (dash == std::string_view::npos)
        return false;
    window.start = parse_clock(clock.substr(0, dash), false);
    window.end = parse_clock(clock.substr(dash + 1), true);
    if (window.start < 0 || window.end < 0 || window.start == window.end)
        return false;
    if (window.end == 0)
        window.end = minutes_per_day;  // "22:00-00:00" is "22:00-24:00"
    window.text = std::string(entry);
    return true;
}

bool parse_time(std::string_view entry, day_time& time)
{
    std::string_view clock;
    if (!split_entry(entry, time.days, clock))
        return false;
    time.minute = parse_clock(clock, false);
    time.text = std::string(entry);
    return time.minute >= 0;
}

// Parses each comma-separated entry of list with parse_entry.
template <typename Entry>
bool parse_list(std::string_view list, std::vector<Entry>& out, bool (*parse_entry)(std::string_view, Entry&))
{
    out.clear();
    if (trimmed(list).empty())
        return true;
    for (;;) {
        const std::size_t comma = list.find(',');
        Entry entry{};
        if (!parse_entry(trimmed(list.substr(0, comma)), entry)) {
            out.clear();
            return false;
        }
        out.push_back(std::move(entry));
        if (comma == std::string_view::npos)
            return true;
        list.remove_prefix(comma + 1);
    }
}

bool holds_on(uint8_t days, int wday)
{
    return (days >> wday & 1u) != 0;
}

// The moment of minute on the local date of base moved on by day_offset
// days; a clock time that occurs twice gives its first occurrence.
time_t local_moment(const tm& base, int day_offset, int minute)
{
    tm wanted{};
    wanted.tm_year = base.tm_year;
    wanted.tm_mon = base.tm_mon;
    wanted.tm_mday = base.tm_mday + day_offset;
    wanted.tm_hour = minute / 60;
    wanted.tm_min = minute % 60;
    time_t c_library = -1;
    time_t first_shown = -1;
    for (const int dst : {-1, 0, 1}) {
        tm t = wanted;
        t.tm_isdst = dst;
        const time_t moment = mktime(&t);
        tm back{};
        if (moment == -1 || localtime_r(&moment, &back) == nullptr)
            continue;
        if (dst == -1)
            c_library = moment;
        const bool shows = back.tm_mday == t.tm_mday && back.tm_hour == wanted.tm_hour && back.tm_min == wanted.tm_min;
        if (shows && (first_shown == -1 || moment < first_shown))
            first_shown = moment;
    }
    // The C library's own answer stands for a time that does not exist.
    return first_shown != -1 ? first_shown : c_library;
}

}  // namespace

bool parse_day_windows(std::string_view list, std::vector<day_window>& windows)
{
    return parse_list(list, windows, parse_window);
}

bool parse_day_times(std::string_view list, std::vector<day_time>& times)
{
    return parse_list(list, times, parse_time);
}

const day_window* day_window_at(const std::vector<day_window>& windows, time_t moment)
{
    tm local{};
    if (localtime_r(&moment, &local) == nullptr)
        return nullptr;
    const int minute = local.tm_hour * 60 + local.tm_min;
    const int yesterday = (local.tm_wday + 6) % 7;
    for (const day_window& w : windows) {
        const bool inside = w.start < w.end ? holds_on(w.days, local.tm_wday) && minute >= w.start && minute < w.end
                                            : (holds_on(w.days, local.tm_wday) && minute >= w.start) ||
                                                  (holds_on(w.days, yesterday) && minute < w.end);
        if (inside)
            return &w;
    }
    return nullptr;
}

time_t day_time_next(const std::vector<day_time>& times, time_t now)
{
    tm local{};
    if (times.empty() || localtime_r(&now, &local) == nullptr)
        return -1;
    time_t next = -1;
    // Eight days: today's time may have passed, and a time named for one
    // day of the week comes back a week later.
    for (int offset = 0; offset <= 7; offset++) {
        const int wday = (local.tm_wday + offset) % 7;
        for (const day_time& t : times) {
            if (!holds_on(t.days, wday))
                continue;
            const time_t moment = local_moment(local, offset, t.minute);
            if (moment >= now && (next == -1 || moment < next))
                next = moment;
        }
        if (next != -1)
            return next;
    }
    return next;
}
