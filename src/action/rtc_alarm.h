// The RTC wake-up alarm: the machine powers on by itself at the moment set
// in /sys/class/rtc/rtc0/wakealarm (seconds since the epoch, as the RTC
// counts them). Writing it needs root.
#pragma once

#include <cstdio>
#include <ctime>

constexpr const char* rtc_wakealarm_path_default = "/sys/class/rtc/rtc0/wakealarm";
extern const char* rtc_wakealarm_path;
// hwclock's file; its third line says whether the RTC keeps UTC or LOCAL.
constexpr const char* adjtime_path_default = "/etc/adjtime";
extern const char* adjtime_path;

// Writes text to the file at path (which must exist); 0, or the errno of
// the failed open or write. Tests put a recorder here.
extern int (*rtc_alarm_write)(const char* path, const char* text);
int rtc_alarm_write_file(const char* path, const char* text);

// What arming the alarm came to.
enum rtc_alarm_fault {
    rtc_alarm_armed,    // set, and read back as written
    rtc_alarm_no_rtc,   // there is no alarm file
    rtc_alarm_refused,  // a write was refused (error says why)
    rtc_alarm_differs,  // read back as something else, or not at all
};

struct rtc_alarm_result {
    rtc_alarm_fault fault = rtc_alarm_no_rtc;
    int error = 0;             // the errno of a failed open or write
    long long written = 0;     // the value set, in the RTC's time
    long long read_back = -1;  // the value read after, -1 for none
};

// True when an adjtime stream's third line says LOCAL.
bool parse_adjtime_local(FILE* in);

// Whether the RTC keeps local time, by adjtime_path (no file: UTC).
bool rtc_keeps_local_time();

// The value to write for moment: moment itself for an RTC in UTC; for one
// in local time the local time of moment read as if it were UTC (moment
// plus its UTC offset then), as `rtcwake --local` sets it.
long long rtc_alarm_value(time_t moment, bool local);

// Clears the alarm (a pending one makes the kernel refuse a new one), sets
// it to moment, and reads it back.
rtc_alarm_result rtc_alarm_arm(time_t moment);

// Puts the paths and rtc_alarm_write back.
void rtc_alarm_reset();
