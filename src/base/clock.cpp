#include "base/clock.h"

namespace {

int64_t clock_ms(clockid_t id)
{
    struct timespec ts = {};
    (void)clock_gettime(id, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

int64_t real_monotonic_ms()
{
    return clock_ms(CLOCK_MONOTONIC);
}

int64_t real_boottime_ms()
{
    return clock_ms(CLOCK_BOOTTIME);
}

time_t real_unix_time()
{
    return time(nullptr);
}

}  // namespace

int64_t (*watch_monotonic_ms)() = real_monotonic_ms;
int64_t (*watch_boottime_ms)() = real_boottime_ms;
time_t (*watch_unix_time)() = real_unix_time;

void clock_reset()
{
    watch_monotonic_ms = real_monotonic_ms;
    watch_boottime_ms = real_boottime_ms;
    watch_unix_time = real_unix_time;
}
