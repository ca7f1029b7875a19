// What one check found: the texts naming what made the period busy, the
// busy verdict, and one reason token per source over its threshold
// ("KIND:DETAIL", for the status file and the service manager's status).
// The message grows as needed, so no source's text is lost.
#pragma once

#include <string>
#include <vector>

struct activity_check {
    std::string message;
    bool busy = false;
    std::vector<std::string> reasons;
};

// Appends text to the message unless the message already holds it.
void activity_append_once(activity_check& check, const char* text);

// Records one reason token (kept in the order the sources report them).
void activity_add_reason(activity_check& check, std::string token);
