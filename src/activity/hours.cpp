#include "activity/hours.h"

#include <vector>

#include "activity/source_report.h"
#include "base/clock.h"
#include "base/day_time.h"
#include "base/messages.h"
#include "base/settings.h"

void hours_check(activity_check& check)
{
    // The setting was validated when taken; parsing a few windows again
    // costs less than keeping them in step with it.
    std::vector<day_window> windows;
    if (settings.awake_hours[0] == '\0' || !parse_day_windows(settings.awake_hours, windows))
        return;
    const day_window* inside = day_window_at(windows, watch_unix_time());
    if (inside == nullptr)
        return;
    source_findings found;
    findings_add(found, inside->text);
    findings_report(check, found, tr("(稼働時間帯)"), "hours");
}
