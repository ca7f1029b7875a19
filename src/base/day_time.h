// Days and times of day in local time, as the settings that name hours to
// stay up (windows) and moments to wake up at (times) write them.
//
// A list is comma-separated entries; blanks around an entry are allowed.
// An entry is an optional day part, one or more blanks, then its time:
//   days    Mon Tue Wed Thu Fri Sat Sun (any letter case), or a range of two
//           of them, "Mon-Fri"; a range runs forward through the week and
//           may wrap ("Fri-Mon" is Fri, Sat, Sun, Mon; "Sat-Fri" is every
//           day). A range from a day to itself is refused. There are no day
//           lists: commas separate entries, so write "Mon 09:00,Wed 09:00".
//           Without days an entry holds on every day.
//   time    H:MM or HH:MM, 0:00 to 23:59 (minutes always two digits).
//   window  TIME-TIME, the start included, the end not. An end before the
//           start crosses midnight ("22:00-02:00") and belongs to the day it
//           starts on: "Fri 22:00-02:00" holds from Friday 22:00 to Saturday
//           02:00. An end of 24:00 means the end of the day. Equal ends are
//           refused.
// Anything else (an empty entry, a day without a time, seconds, "Monday")
// makes the whole list invalid: nothing is guessed.
//
// Clock changes: a window compares the wall clock, so it holds twice in an
// hour that is repeated and not at all in an hour that is skipped. A time
// that is repeated names its first occurrence; a time that is skipped names
// the moment the C library gives for it (mktime with tm_isdst -1; glibc
// moves it on by the length of the gap: 02:30 on a day that jumps from
// 02:00 to 03:00 is 03:30).
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

struct day_window {
    std::string text;  // the entry as written, without the blanks around it
    uint8_t days;      // bit n: tm_wday n (0 Sunday)
    int start;         // minutes after midnight
    int end;           // minutes after midnight, up to 1440; below start: crosses midnight
};

struct day_time {
    std::string text;
    uint8_t days;
    int minute;  // minutes after midnight
};

// The windows of list. False, with windows emptied, when any entry is
// invalid. An empty list is valid and has no window.
bool parse_day_windows(std::string_view list, std::vector<day_window>& windows);

// The times of list, under the same rules.
bool parse_day_times(std::string_view list, std::vector<day_time>& times);

// The first window of windows that holds at moment (local time), or null.
const day_window* day_window_at(const std::vector<day_window>& windows, time_t moment);

// The first moment at or after now that one of times names (local time),
// or -1 when times is empty.
time_t day_time_next(const std::vector<day_time>& times, time_t now);
