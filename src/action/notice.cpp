#include "action/notice.h"

#include <cstdio>

#include "base/messages.h"
#include "base/settings.h"
#include "base/stop.h"

namespace {

void print_notice(int idle_seconds)
{
    const int left = settings.exfire_time > idle_seconds ? settings.exfire_time - idle_seconds : 0;
    printf(tr("満了予告：アイドルが続けば約%d分%02d秒後に満了処理を行います。\n"), left / 60, left % 60);
}

}  // namespace

int run_notice_command(const char* command_line)
{
    return run_in_group(command_line, notice_deadline_seconds);
}

int (*notice_runner)(const char* command_line) = run_notice_command;

bool notice_run_reported(const char* command_line)
{
    // Whatever was printed before must not come after the command's output.
    (void)fflush(stdout);
    return command_report(command_line, notice_runner(command_line), notice_deadline_seconds);
}

notice_event notice_after_check(bool busy, int idle_seconds, bool& standing)
{
    if (settings.notice_time <= 0) {
        standing = false;
        return notice_none;
    }
    const bool due = !busy && idle_seconds >= settings.exfire_time - settings.notice_time;
    if (!due) {
        if (!standing)
            return notice_none;
        standing = false;
        printf(tr("満了予告取り消し：アイドルが途切れたため、満了処理は行いません。\n"));
        return notice_called_off;
    }
    if (standing)
        return notice_none;
    standing = true;
    print_notice(idle_seconds);
    // A stop request that came first prevents the command.
    if (settings.notice_run[0] != '\0' && !stop_requested())
        notice_run_reported(settings.notice_run);
    return notice_given;
}

void notice_reset()
{
    notice_runner = run_notice_command;
}
