// What the activity sources share: walking a comma-separated setting,
// reporting what a source found in the busy line and the reason tokens,
// and the state of a source that cannot answer.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/activity.h"

// At most this many things found by one source are named in the busy line
// and in the reason tokens, so that a thousand connections stay one line.
constexpr std::size_t activity_names_max = 8;

// Calls item(text) for every non-empty item of a comma-separated list, with
// the spaces around it removed.
template <typename F>
void for_each_list_item(std::string_view list, F item)
{
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(',', start);
        if (end == std::string_view::npos)
            end = list.size();
        std::string_view text = list.substr(start, end - start);
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
            text.remove_prefix(1);
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
            text.remove_suffix(1);
        if (!text.empty())
            item(text);
        start = end + 1;
    }
}

// True when name matches one of the comma-separated shell-style patterns.
bool name_matches_list(std::string_view name, std::string_view patterns);

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
