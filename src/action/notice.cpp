#include "action/notice.h"

#include <cstdio>
#include <sys/wait.h>

#include "base/child.h"
#include "base/journal.h"
#include "base/settings.h"

namespace {

void print_notice(int idle_seconds)
{
    const int left = settings.exfire_time > idle_seconds ? settings.exfire_time - idle_seconds : 0;
    printf("満了予告：アイドルが続けば約%d分%02d秒後に満了処理を行います。\n", left / 60, left % 60);
}

}  // namespace

int run_in_group(const char* command_line, int deadline_seconds)
{
    // Whatever was printed before must not come after the command's output.
    (void)fflush(stdout);
    const pid_t pid = shell_spawn_in_group(command_line);
    if (pid < 0)
        return -1;
    int status = 0;
    return child_wait_deadline(pid, deadline_seconds * 1000, status) ? status : notice_timed_out;
}

int run_notice_command(const char* command_line)
{
    return run_in_group(command_line, notice_deadline_seconds);
}

int (*notice_runner)(const char* command_line) = run_notice_command;

bool notice_run_reported(const char* command_line)
{
    const int status = notice_runner(command_line);
    if (status == -1) {
        printf("コマンド起動失敗：%s\n", command_line);
        return false;
    }
    if (status == notice_timed_out) {
        printf("コマンド実行失敗：%s（%d 秒で打ち切り）\n", command_line, notice_deadline_seconds);
        return false;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return true;
    if (WIFSIGNALED(status))
        printf("コマンド実行失敗：%s（シグナル %d で終了）\n", command_line, WTERMSIG(status));
    else
        printf("コマンド実行失敗：%s（終了ステータス %d）\n", command_line, WEXITSTATUS(status));
    return false;
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
        printf("満了予告取り消し：アイドルが途切れたため、満了処理は行いません。\n");
        return notice_called_off;
    }
    if (standing)
        return notice_none;
    standing = true;
    print_notice(idle_seconds);
    if (settings.notice_run[0] != '\0')
        notice_run_reported(settings.notice_run);
    return notice_given;
}

bool time_check_with_notice()
{
    const bool intervals = settings.disp_interval <= settings.check_interval &&
                           settings.check_interval <= settings.exfire_time;
    const bool notice = settings.notice_time <= 0 || settings.notice_time < settings.exfire_time;
    if (intervals && notice)
        return true;
    // Each line of the refusal carries the journal's priority.
    const char* const mark = journal_prefix(journal_error);
    printf("%s時間設定に誤りがあります。\n%s表示間隔 ＜ チェック間隔 ＜ 満了時間で設定してください。\n%s現状： %d %d %d\n",
           mark, mark, mark, settings.disp_interval, settings.check_interval, settings.exfire_time);
    if (settings.notice_time > 0)
        printf("%s満了予告時間 ＜ 満了時間で設定してください。現状： %d %d\n", mark,
               settings.notice_time, settings.exfire_time);
    return false;
}
