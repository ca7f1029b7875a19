#include "base/activity.h"

#include <utility>

void activity_append_once(activity_check& check, const char* text)
{
    if (check.message.find(text) == std::string::npos)
        check.message += text;
}

void activity_add_reason(activity_check& check, std::string token)
{
    check.reasons.push_back(std::move(token));
}
