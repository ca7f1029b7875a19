// Fuzzes the day and time parser as windows and as times, and asks each
// list about a moment near a clock change (Berlin, October 2026).
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/day_time.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool zone = (setenv("TZ", "Europe/Berlin", 1), tzset(), true);
    (void)zone;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const time_t moment = 1792888200;  // 2026-10-25 02:30 CEST, an hour before its twin
    std::vector<day_window> windows;
    if (parse_day_windows(text, windows)) {
        const day_window* w = day_window_at(windows, moment);
        if (w != nullptr && (w->text.empty() || w->days == 0 || w->start == w->end))
            abort();
    }
    std::vector<day_time> times;
    if (parse_day_times(text, times)) {
        const time_t next = day_time_next(times, moment);
        // Every time comes back within eight days.
        if ((next == -1) != times.empty() || (next != -1 && (next < moment || next > moment + 8 * 86400)))
            abort();
    }
    return 0;
}
