// What the activity sources share: reporting what a source found in the
// busy line and as reasons, and the health of a source that cannot answer.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/activity.h"
#include "base/name_list.h"
#include "base/source_table.h"

// At most this many things found by one source are named in the busy line
// and in the reasons, so that a thousand connections stay one line.
constexpr std::size_t activity_names_max = 8;

// One thing a source found: the subject and detail of its reason
// ("alice@seat0"; "22" and "192.0.2.7").
struct finding {
    std::string subject;
    std::string detail;
};

// What one source found in a check.
struct source_findings {
    std::vector<finding> items;
    std::size_t count = 0;  // everything found, also beyond the items kept
};

// Adds one finding; findings past activity_names_max and repeats are only
// counted.
void findings_add(source_findings& found, std::string subject, std::string detail = {});

// Marks the check busy when something was found: appends text (for example
// "(接続中)") at display level 1 and below, or text with the findings inside,
// escaped ("(接続中:22:192.0.2.7)"), at level 2 and above, and adds a reason
// of kind per finding.
void findings_report(activity_check& check, const source_findings& found, const char* text,
                     const char* kind);

// A source that cannot answer keeps the machine on: the check is busy, the
// message gets "(確認不可)" (level 2: "(確認不可:KIND)"), the reason is
// "KIND:error", and one warning naming what is the first time it fails.
void source_failed(activity_check& check, source_health& health, const char* kind, const char* what);

// The source answered: one line if it was failing until now.
void source_answered(source_health& health, const char* what);

// One source's check: as source_failed when it could not answer (unless a
// stop request cut its wait short: then nothing), else source_answered and
// findings_report.
void source_report(activity_check& check, source_health& health, bool answered, const source_findings& found,
                   const char* what, const char* text, const char* kind);
