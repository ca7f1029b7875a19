#include "activity/busy_check.h"

#include <string>
#include <sys/wait.h>

#include "activity/source_report.h"
#include "base/child.h"
#include "base/messages.h"
#include "base/settings.h"

int busy_check_deadline_ms = busy_check_deadline_ms_default;

source_health busy_check_health;

namespace {

// The shell's own statuses for a command it could not find or run.
constexpr int shell_not_found = 127;
constexpr int shell_not_executable = 126;

}  // namespace

check_result run_check_command(const char* command)
{
    const shell_command shell(command);
    child_spec job = shell_job(shell, child_io_quiet, busy_check_deadline_ms);
    job.kill_leftovers = true;
    const child_outcome outcome = child_run(job);
    if (outcome.result == child_timed_out)
        return {check_timed_out, 0};
    if (outcome.result == child_stopped)
        return {check_stopped, 0};
    if (outcome.result != child_done)
        return {check_no_start, 0};
    const int status = outcome.status;
    if (WIFSIGNALED(status))
        return {check_signalled, WTERMSIG(status)};
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 0;
    if (code == shell_not_found || code == shell_not_executable)
        return {check_no_start, code};
    return {check_exited, code};
}

void busy_command_check(activity_check& check)
{
    if (settings.busy_check[0] == '\0')
        return;
    const std::string what = text_format(tr("確認コマンド（%s）"), settings.busy_check);
    const check_result result = run_check_command(settings.busy_check);
    if (result.outcome == check_stopped)
        return;  // the check is abandoned: nothing to say
    if (result.outcome != check_exited) {
        source_failed(check, busy_check_health, "check", what.c_str());
        return;
    }
    source_answered(busy_check_health, what.c_str());
    if (result.status != 0)
        return;
    check.busy = true;
    activity_add_reason(check, {"check", "0"});
    activity_append_once(check, tr("(確認コマンド)"));
}

void busy_command_reset()
{
    busy_check_deadline_ms = busy_check_deadline_ms_default;
    busy_check_health = {};
}
