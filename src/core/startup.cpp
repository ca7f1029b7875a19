#include "core/startup.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <pthread.h>
#include <string>
#include <string_view>
#include <unistd.h>

#include "activity/lan_wake.h"
#include "base/journal.h"
#include "base/messages.h"
#include "base/name_list.h"
#include "base/text_escape.h"
#include "config/args.h"
#include "config/config_file.h"
#include "base/settings.h"
#include "core/watch.h"
#include "devices/watcher.h"
#include "report/config_print.h"

const char* const default_system_config_path = "/etc/lullwatcher/lullwatcher.conf";
const char* system_config_path = default_system_config_path;

namespace {

// The file in the working directory that the search reads first; empty when
// the working directory cannot be fetched.
std::string local_config_path()
{
    // Fetched whole, however long, so that the local file is never looked
    // up through a cut path.
    char* cwd = getcwd(nullptr, 0);
    if (cwd == nullptr)
        return {};
    std::string local = std::string(cwd) + "/lullwatcher.conf";
    free(cwd);
    return local;
}

// The language is chosen before anything is printed (the help, refusals and
// the file's own lines included): from the arguments, or without them from
// the file that the search would read. A name without a catalog is
// reported when the setting is really read.
void choose_language_early(int argc, char** argv, bool file_search)
{
    std::string chosen;
    if (!file_search) {
        chosen = arg_language_scan(argc, argv);
    } else {
        const std::string local = local_config_path();
        if (local.empty() || !config_language_scan(local.c_str(), chosen))
            (void)config_language_scan(system_config_path, chosen);
    }
    if (!chosen.empty())
        (void)messages_choose(chosen);
}

}  // namespace

bool read_default_config()
{
    // When the working directory cannot be fetched, only the local candidate
    // is skipped: the system file is still read. A file refused as unsafe
    // stops the start: the settings its owner wrote must not give way to the
    // defaults.
    const std::string local = local_config_path();
    if (!local.empty()) {
        const int result = read_config(local.c_str());
        if (result != -1)
            return result != config_read_refused;
    }
    const int result = read_config(system_config_path);
    if (result == -1)
        printf(tr("%s設定ファイルの読み込み失敗:%s\n"), journal_prefix(journal_warning), system_config_path);
    return result != config_read_refused;
}

bool time_settings_valid()
{
    const bool intervals = settings.disp_interval <= settings.check_interval &&
                           settings.check_interval <= settings.exfire_time;
    const bool notice = settings.notice_time <= 0 || settings.notice_time < settings.exfire_time;
    if (intervals && notice)
        return true;
    // Each line of the refusal carries the journal's priority.
    const char* const mark = journal_prefix(journal_error);
    printf(tr("%s時間設定に誤りがあります。\n%s表示間隔 ＜ チェック間隔 ＜ 満了時間で設定してください。\n%s現状： %d %d %d\n"),
           mark, mark, mark, settings.disp_interval, settings.check_interval, settings.exfire_time);
    if (settings.notice_time > 0)
        printf(tr("%s満了予告時間 ＜ 満了時間で設定してください。現状： %d %d\n"), mark,
               settings.notice_time, settings.exfire_time);
    return false;
}

void lan_wake_startup_check()
{
    for_each_list_item(settings.lan_wake, [](std::string_view item) {
        const std::string name(item);
        const lan_wake_modes modes = lan_wake_read(name.c_str());
        if (lan_wake_magic_supported(modes))
            return;
        printf(tr("%s警告：LAN_WAKE= の %s：%s。Wake-on-LAN を有効にできるまで満了処理は行いません。\n"),
               journal_prefix(journal_warning), text_escape(name).c_str(), lan_wake_support_text(modes).c_str());
    });
}

namespace {

// Output buffer: a whole pass of progress lines goes out in one write.
char output_buffer[64 * 1024];

// Opens /dev/null on any of descriptors 0 to 2 that is closed, so that no
// file or pipe opened later takes its number and receives the output.
void open_standard_descriptors()
{
    for (int fd = 0; fd <= 2; fd++) {
        if (fcntl(fd, F_GETFD) == -1 && open("/dev/null", O_RDWR) == -1)
            return;
    }
}

// Starts the device watchers with the stop signals blocked, so that those
// signals always reach the main thread, which ends the loop.
void start_device_watchers()
{
    sigset_t stop_signals;
    sigset_t saved;
    sigemptyset(&stop_signals);
    for (const int signo : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&stop_signals, signo);
    pthread_sigmask(SIG_BLOCK, &stop_signals, &saved);
    device_thread_create();
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
}

}  // namespace

int lullwatcher_main(int argc, char** argv)
{
    open_standard_descriptors();
    // The output is the only log. The loop flushes it at the end of every
    // pass, after each check line and before any command starts; the device
    // watchers flush their own lines.
    (void)setvbuf(stdout, output_buffer, _IOFBF, sizeof output_buffer);
    watch_signals_install();

    // "-t" reads exactly what a start would: alone, the file search.
    const int test_options = arg_test_config_count(argc, argv);
    choose_language_early(argc, argv, argc - 1 <= test_options);
    if (argc - 1 <= test_options) {
        if (!read_default_config())
            return -1;
    } else {
        const int parsed = arg_anal(argc, argv);
        if (parsed == arg_finished)
            return arg_exit_status;
        if (parsed < 0)
            return -1;
    }

    const bool times_valid = time_settings_valid();
    if (test_options > 0) {
        test_config_print();
        return times_valid ? 0 : -1;
    }
    if (!times_valid)
        return -1;

    if (settings.calibrate_minutes == 0)
        lan_wake_startup_check();
    start_device_watchers();
    if (settings.calibrate_minutes > 0)
        watch_calibrate(settings.calibrate_minutes);
    else
        watch_start();
    return 0;
}
