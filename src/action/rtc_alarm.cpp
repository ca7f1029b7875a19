#include "action/rtc_alarm.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "base/streams.h"

const char* rtc_wakealarm_path = rtc_wakealarm_path_default;
const char* adjtime_path = adjtime_path_default;
int (*rtc_alarm_write)(const char* path, const char* text) = rtc_alarm_write_file;

namespace {

// The alarm as the file gives it: seconds, or -1 when none is set (the
// kernel shows a disabled alarm as an empty line) or it does not read as
// a number.
long long rtc_alarm_read(const char* path)
{
    file_stream in(fopen(path, "re"));
    char line[32];
    if (!in || fgets(line, sizeof line, in.get()) == nullptr)
        return -1;
    char* end = nullptr;
    errno = 0;
    const long long value = strtoll(line, &end, 10);
    if (end == line || errno != 0 || (*end != '\0' && *end != '\n'))
        return -1;
    return value;
}

}  // namespace

int rtc_alarm_write_file(const char* path, const char* text)
{
    const int fd = open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const std::size_t length = strlen(text);
    const ssize_t n = write(fd, text, length);
    int error = n < 0 ? errno : static_cast<std::size_t>(n) != length ? EIO : 0;
    if (close(fd) != 0 && error == 0)
        error = errno;
    return error;
}

bool parse_adjtime_local(FILE* in)
{
    int newlines = 0;
    int c;
    while (newlines < 2 && (c = getc(in)) != EOF) {
        if (c == '\n')
            newlines++;
    }
    char word[8];
    return newlines == 2 && fgets(word, sizeof word, in) != nullptr && strncmp(word, "LOCAL", 5) == 0;
}

bool rtc_keeps_local_time()
{
    file_stream in(fopen(adjtime_path, "re"));
    return in && parse_adjtime_local(in.get());
}

long long rtc_alarm_value(time_t moment, bool local)
{
    tm broken{};
    if (!local || localtime_r(&moment, &broken) == nullptr)
        return moment;
    return static_cast<long long>(moment) + broken.tm_gmtoff;
}

rtc_alarm_result rtc_alarm_arm(time_t moment)
{
    rtc_alarm_result result;
    result.written = rtc_alarm_value(moment, rtc_keeps_local_time());
    char text[32];
    (void)snprintf(text, sizeof text, "%lld\n", result.written);
    result.error = rtc_alarm_write(rtc_wakealarm_path, "0\n");
    if (result.error == 0)
        result.error = rtc_alarm_write(rtc_wakealarm_path, text);
    if (result.error != 0) {
        result.fault = result.error == ENOENT ? rtc_alarm_no_rtc : rtc_alarm_refused;
        return result;
    }
    result.read_back = rtc_alarm_read(rtc_wakealarm_path);
    result.fault = result.read_back == result.written ? rtc_alarm_armed : rtc_alarm_differs;
    return result;
}

void rtc_alarm_reset()
{
    rtc_wakealarm_path = rtc_wakealarm_path_default;
    adjtime_path = adjtime_path_default;
    rtc_alarm_write = rtc_alarm_write_file;
}
