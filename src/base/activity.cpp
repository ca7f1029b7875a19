#include "base/activity.h"

void activity_append_once(activity_check& check, const char* text)
{
    if (check.message.find(text) == std::string::npos)
        check.message += text;
}
