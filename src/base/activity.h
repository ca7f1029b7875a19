// What one check found: the texts naming what made the period busy, and the
// busy verdict. The message grows as needed, so no source's text is lost.
#pragma once

#include <string>

struct activity_check {
    std::string message;
    bool busy = false;
};

// Appends text to the message unless the message already holds it.
void activity_append_once(activity_check& check, const char* text);
