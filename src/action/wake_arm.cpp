#include "action/wake_arm.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "action/rtc_alarm.h"
#include "activity/lan_wake.h"
#include "activity/wake_plan.h"
#include "base/journal.h"
#include "base/messages.h"
#include "base/name_list.h"
#include "base/settings.h"
#include "base/stop.h"
#include "base/text_escape.h"

namespace {

bool arm_failed(activity_check& check, reason why, const std::string& what)
{
    printf(tr("%s警告：%s。満了処理を行わず、次の満了で再び試みます。\n"), journal_prefix(journal_warning), what.c_str());
    check.busy = true;
    activity_add_reason(check, std::move(why));
    return false;
}

std::string rtc_fault_text(const rtc_alarm_result& result)
{
    const char* const alarm = rtc_wakealarm_path;
    switch (result.fault) {
    case rtc_alarm_no_rtc:
        return text_format(tr("RTCアラーム（%s）がありません"), alarm);
    case rtc_alarm_refused:
        return text_format(tr("RTCアラーム（%s）に書き込めません（%s）"), alarm, strerror(result.error));
    case rtc_alarm_differs:
        if (result.read_back < 0)
            return text_format(tr("RTCアラーム（%s）を設定できません（書き込み %lld、読み戻し なし）"), alarm,
                               result.written);
        return text_format(tr("RTCアラーム（%s）を設定できません（書き込み %lld、読み戻し %lld）"), alarm,
                           result.written, result.read_back);
    case rtc_alarm_armed:
        break;
    }
    return {};  // armed: no fault to tell
}

std::string lan_fault_text(const std::string& name, const lan_wake_result& result)
{
    const std::string wol = text_escape(name);
    switch (result.fault) {
    case lan_wake_unreadable:
    case lan_wake_no_magic:
        return text_format(tr("%s の Wake-on-LANを有効にできません（%s）"), wol.c_str(),
                           lan_wake_support_text(result.modes).c_str());
    case lan_wake_refused:
        return text_format(tr("%s の Wake-on-LANを有効にできません（%s）"), wol.c_str(), strerror(result.error));
    case lan_wake_differs:
        return text_format(tr("%s の Wake-on-LANを有効にできません（読み戻し：%s）"), wol.c_str(),
                           lan_wake_letters(result.modes.enabled).c_str());
    case lan_wake_armed:
        break;
    }
    return {};  // armed: no fault to tell
}

bool arm_alarm(activity_check& check)
{
    if (!alarm_settings_on())
        return true;
    const wake_plan& plan = check.wake;
    if (!plan.made)
        return arm_failed(check, {"alarm", "error"}, tr("起動予定の時刻がわからないため、RTCアラームを設定できません"));
    if (plan.earliest == 0) {
        printf(tr("起動予約なし：起動予定の時刻がないため、RTCアラームを設定せずに続けます。\n"));
        return true;
    }
    const std::string when =
        text_format(tr("%s（%s）"), wake_time_text(plan.moment).c_str(), text_escape(plan.source).c_str());
    if (settings.dry_run != 0) {
        printf(tr("ドライランのため設定しません：起動予約 %s\n"), when.c_str());
        return true;
    }
    const rtc_alarm_result result = rtc_alarm_arm(static_cast<time_t>(plan.moment));
    if (result.fault != rtc_alarm_armed)
        return arm_failed(check, {"alarm", "error"}, rtc_fault_text(result));
    printf(tr("起動予約：%s\n"), when.c_str());
    return true;
}

bool arm_lan(activity_check& check)
{
    if (settings.lan_wake[0] == '\0')
        return true;
    std::string names;
    bool armed = true;
    for_each_list_item(settings.lan_wake, [&](std::string_view item) {
        const std::string name(item);
        names += (names.empty() ? "" : ",") + text_escape(name);
        if (!armed || settings.dry_run != 0)
            return;
        const lan_wake_result result = lan_wake_arm(name.c_str());
        if (result.fault != lan_wake_armed)
            armed = arm_failed(check, {"lan", name, "error"}, lan_fault_text(name, result));
    });
    if (!armed)
        return false;
    if (settings.dry_run != 0)
        printf(tr("ドライランのため設定しません：Wake-on-LAN %s\n"), names.c_str());
    else
        printf(tr("Wake-on-LAN：%s\n"), names.c_str());
    return true;
}

}  // namespace

bool wake_arm(activity_check& check)
{
    if (!wake_settings_on() || stop_requested())
        return true;
    const bool armed = arm_alarm(check) && arm_lan(check);
    (void)fflush(stdout);
    return armed;
}
