#include "report/notify.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <systemd/sd-daemon.h>

#include "base/journal.h"
#include "base/messages.h"
#include "base/settings.h"
#include "base/text_escape.h"
#include "report/status_file.h"

namespace {

// One reason in a few words: "eth0 rx 3.4 MB", "input event3". Disk
// amounts are kilobytes.
std::string reason_words(const reason& r)
{
    if (r.counted) {
        const bool kilobytes = strcmp(r.kind, "disk") == 0;
        const uint64_t bytes = !kilobytes ? r.amount : r.amount > UINT64_MAX / 1024 ? UINT64_MAX : r.amount * 1024;
        return r.subject + " " + r.detail + " " + format_amount(bytes);
    }
    if (strcmp(r.kind, "input") == 0)
        return "input " + r.subject;
    return reason_token(r);
}

}  // namespace

void notify_send(const std::string& text)
{
    if (getenv("NOTIFY_SOCKET") == nullptr)
        return;
    (void)sd_notify(0, text.c_str());
}

std::string notify_summary(const status_record& record)
{
    std::string line = "idle " + std::to_string(record.idle_seconds / 60) + " of " +
                       std::to_string(settings.exfire_time / 60) + " min";
    if (record.last_busy == 0)
        return line + ", never busy";
    const time_t at = static_cast<time_t>(record.last_busy);
    struct tm local;
    char clock[16];
    if (localtime_r(&at, &local) == nullptr || strftime(clock, sizeof clock, "%H:%M", &local) == 0)
        (void)snprintf(clock, sizeof clock, "?");
    line += ", last busy ";
    line += clock;
    const std::vector<reason>& reasons = record.busy_reasons;
    if (reasons.empty())
        return line;
    // One line: the names come from outside.
    line += " by " + text_escape(reason_words(reasons.front()));
    if (reasons.size() > 1)
        line += " and " + std::to_string(reasons.size() - 1) + " more";
    return line;
}

std::string watchdog_warning(uint64_t period_usec, int disp_interval)
{
    const uint64_t pass_usec = static_cast<uint64_t>(disp_interval > 0 ? disp_interval : 0) * 1000000;
    if (period_usec == 0 || period_usec > 2 * pass_usec)
        return "";
    return text_format(tr("%s警告：ウォッチドッグ時間（%llu ミリ秒）が表示間隔（%d 秒）の2倍以下です。"
                          "正常に動作していても停止されます。\n"),
                       journal_prefix(journal_warning), static_cast<unsigned long long>(period_usec / 1000),
                       disp_interval);
}
