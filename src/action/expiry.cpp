#include "action/expiry.h"

#include <cstdio>

#include "action/command.h"
#include "action/dry_run.h"
#include "action/notice.h"
#include "action/rtc_alarm.h"
#include "action/wake_arm.h"
#include "base/messages.h"
#include "base/settings.h"
#include "base/stop.h"

namespace {

// Runs one command of the action unless a stop request came first.
bool run_unless_stopped(const char* command_line)
{
    if (stop_requested())
        return false;
    (void)run_reported(command_line);
    return true;
}

}  // namespace

bool shutdown_proc(activity_check& check)
{
    printf(tr("監視満了!!\n"));
    if (!wake_arm(check))
        return false;
    // A dry run names what would run and runs nothing.
    if (expiry_dry_run())
        return true;
    if (settings.command[0] != '\0')
        return run_unless_stopped(settings.command);
    for (int i = 0; i < 3; i++) {
        if (!run_unless_stopped("sync"))
            return false;
    }
    return run_unless_stopped("shutdown -h now");
}

void action_reset()
{
    expiry_runner = run_command;
    notice_reset();
    rtc_alarm_reset();
}
