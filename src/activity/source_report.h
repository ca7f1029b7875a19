// What the activity sources share: walking a comma-separated setting,
// reporting what a source found in the busy line and the reason tokens,
// and the state of a source that cannot answer.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/activity.h"
#include "base/name_list.h"

// At most this many things found by one source are named in the busy line
// and in the reason tokens, so that a thousand connections stay one line.
constexpr std::size_t activity_names_max = 8;


// What one source found in a check: the details that name it ("root@pts/0"),
// each also the detail of a reason token "KIND:DETAIL".
struct source_findings {
    std::vector<std::string> details;
    std::size_t count = 0;  // everything found, also beyond the details kept
};

// Adds one finding; details past activity_names_max and repeats are only
// counted.
void findings_add(source_findings& found, std::string detail);

// Marks the check busy when something was found: appends text (for example
// "(接続中)") at display level 1 and below, or text with the details inside
// ("(接続中:22:192.0.2.7)") at level 2 and above, and adds "KIND:DETAIL"
// per detail.
void findings_report(activity_check& check, const source_findings& found, const char* text,
                     const char* kind);

// Whether a switched-on source could answer at its last check.
struct source_health {
    bool failing = false;
};

// A source that cannot answer keeps the machine on: the check is busy, the
// message gets "(確認不可)" (level 2: "(確認不可:KIND)"), the token is
// "KIND:error", and one warning naming what is the first time it fails.
void source_failed(activity_check& check, source_health& health, const char* kind, const char* what);

// The source answered: one line if it was failing until now.
void source_answered(source_health& health, const char* what);

// One source's check: as source_failed when it could not answer, else
// source_answered and findings_report.
void source_report(activity_check& check, source_health& health, bool answered, const source_findings& found,
                   const char* what, const char* text, const char* kind);
