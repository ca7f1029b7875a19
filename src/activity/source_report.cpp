#include "activity/source_report.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "base/clock.h"
#include "base/journal.h"
#include "base/messages.h"
#include "base/settings.h"
#include "base/stop.h"
#include "base/text_escape.h"

void findings_add(source_findings& found, std::string subject, std::string detail)
{
    found.count++;
    if (found.items.size() >= activity_names_max)
        return;
    const auto same = [&](const finding& f) { return f.subject == subject && f.detail == detail; };
    if (std::find_if(found.items.begin(), found.items.end(), same) == found.items.end())
        found.items.push_back({std::move(subject), std::move(detail)});
}

void findings_report(activity_check& check, const source_findings& found, const char* text,
                     const char* kind)
{
    if (found.count == 0)
        return;
    check.busy = true;
    for (const finding& f : found.items)
        activity_add_reason(check, {kind, f.subject, f.detail});
    if (settings.disp_level < 2 || found.items.empty()) {
        activity_append_once(check, text);
        return;
    }
    // "(接続中)" becomes "(接続中:a/b)". The names come from outside: one
    // holding a line feed must not start a line of its own.
    std::string named(text);
    named.pop_back();
    named += ":";
    for (std::size_t i = 0; i < found.items.size(); i++) {
        const finding& f = found.items[i];
        named += (i == 0 ? "" : "/") + text_escape(f.subject);
        if (!f.detail.empty())
            named += ":" + text_escape(f.detail);
    }
    named += ")";
    activity_append_once(check, named.c_str());
}

void source_failed(activity_check& check, source_health& health, const char* kind, const char* what)
{
    check.busy = true;
    activity_add_reason(check, {kind, "error"});
    if (settings.disp_level < 2)
        activity_append_once(check, tr("(確認不可)"));
    else
        activity_append_once(check, text_format(tr("(確認不可:%s)"), kind).c_str());
    if (health.failing)
        return;
    health.failing = true;
    health.since = static_cast<int64_t>(watch_unix_time());
    printf(tr("%s警告：%sを確認できません。確認できるまで使用中とみなします。\n"), journal_prefix(journal_warning), what);
    (void)fflush(stdout);
}

void source_answered(source_health& health, const char* what)
{
    if (!health.failing)
        return;
    health = {};
    printf(tr("回復：%sを再び確認できます。\n"), what);
    (void)fflush(stdout);
}

void source_report(activity_check& check, source_health& health, bool answered, const source_findings& found,
                   const char* what, const char* text, const char* kind)
{
    if (!answered) {
        // A wait cut short by a stop request says nothing of the source:
        // the check is abandoned.
        if (!stop_requested())
            source_failed(check, health, kind, what);
        return;
    }
    source_answered(health, what);
    findings_report(check, found, text, kind);
}
