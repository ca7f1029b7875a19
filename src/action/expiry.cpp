#include "action/expiry.h"

#include <cstdio>

#include "action/command.h"
#include "action/dry_run.h"
#include "action/notice.h"
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

void shutdown_proc()
{
    printf("監視満了!!\n");
    // A dry run names what would run and runs nothing.
    if (expiry_dry_run())
        return;
    if (settings.command[0] != '\0') {
        (void)run_unless_stopped(settings.command);
        return;
    }
    for (int i = 0; i < 3; i++) {
        if (!run_unless_stopped("sync"))
            return;
    }
    (void)run_unless_stopped("shutdown -h now");
}

void action_reset()
{
    expiry_runner = run_command;
    notice_reset();
}
