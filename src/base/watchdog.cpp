#include "base/watchdog.h"

#include <cstdlib>
#include <systemd/sd-daemon.h>

namespace {

uint64_t period_usec = 0;

}  // namespace

void watchdog_start()
{
    uint64_t usec = 0;
    if (getenv("NOTIFY_SOCKET") == nullptr || sd_watchdog_enabled(0, &usec) <= 0)
        usec = 0;
    period_usec = usec;
}

uint64_t watchdog_period_usec()
{
    return period_usec;
}

void watchdog_keep()
{
    if (period_usec != 0)
        (void)sd_notify(0, "WATCHDOG=1");
}

int watchdog_interval_ms()
{
    constexpr uint64_t longest_ms = 10000;
    const uint64_t third_ms = period_usec / 3000;
    if (period_usec == 0 || third_ms > longest_ms)
        return static_cast<int>(longest_ms);
    return third_ms == 0 ? 1 : static_cast<int>(third_ms);
}

void watchdog_reset()
{
    period_usec = 0;
}
