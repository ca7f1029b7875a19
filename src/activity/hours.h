// Hours to stay up: inside a window of settings.awake_hours (local time, as
// base/day_time.h writes them) every check is busy, "(稼働時間帯)", with a
// reason "hours:WINDOW" naming the window as written. It always answers.
#pragma once

#include "base/activity.h"

// The time of day comes from watch_unix_time() (base/clock.h).
void hours_check(activity_check& check);
