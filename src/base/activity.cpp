#include "base/activity.h"

#include <utility>

void activity_append_once(activity_check& check, const char* text)
{
    if (check.message.find(text) == std::string::npos)
        check.message += text;
}

void activity_add_reason(activity_check& check, reason r)
{
    check.reasons.push_back(std::move(r));
}

std::string reason_token(const reason& r)
{
    std::string token = std::string(r.kind) + ":" + r.subject;
    if (!r.detail.empty())
        token += ":" + r.detail;
    if (r.counted)
        token += ":" + std::to_string(r.amount);
    return token;
}

std::vector<std::string> reason_tokens(const std::vector<reason>& reasons)
{
    std::vector<std::string> tokens;
    tokens.reserve(reasons.size());
    for (const reason& r : reasons)
        tokens.push_back(reason_token(r));
    return tokens;
}
