#include "activity/source_report.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "base/journal.h"
#include "base/settings.h"


void findings_add(source_findings& found, std::string detail)
{
    found.count++;
    if (found.details.size() >= activity_names_max)
        return;
    if (std::find(found.details.begin(), found.details.end(), detail) == found.details.end())
        found.details.push_back(std::move(detail));
}

void findings_report(activity_check& check, const source_findings& found, const char* text,
                     const char* kind)
{
    if (found.count == 0)
        return;
    check.busy = true;
    for (const std::string& detail : found.details)
        activity_add_reason(check, std::string(kind) + ":" + detail);
    if (settings.disp_level < 2 || found.details.empty()) {
        activity_append_once(check, text);
        return;
    }
    // "(接続中)" becomes "(接続中:a/b)".
    std::string named(text);
    named.pop_back();
    named += ":";
    for (std::size_t i = 0; i < found.details.size(); i++)
        named += (i == 0 ? "" : "/") + found.details[i];
    named += ")";
    activity_append_once(check, named.c_str());
}

void source_failed(activity_check& check, source_health& health, const char* kind, const char* what)
{
    check.busy = true;
    activity_add_reason(check, std::string(kind) + ":error");
    if (settings.disp_level < 2)
        activity_append_once(check, "(確認不可)");
    else
        activity_append_once(check, ("(確認不可:" + std::string(kind) + ")").c_str());
    if (health.failing)
        return;
    health.failing = true;
    printf("%s警告：%sを確認できません。確認できるまで使用中とみなします。\n", journal_prefix(journal_warning), what);
    (void)fflush(stdout);
}

void source_answered(source_health& health, const char* what)
{
    if (!health.failing)
        return;
    health.failing = false;
    printf("回復：%sを再び確認できます。\n", what);
    (void)fflush(stdout);
}

void source_report(activity_check& check, source_health& health, bool answered, const source_findings& found,
                   const char* what, const char* text, const char* kind)
{
    if (!answered) {
        source_failed(check, health, kind, what);
        return;
    }
    source_answered(health, what);
    findings_report(check, found, text, kind);
}
