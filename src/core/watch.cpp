#include "core/watch.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <utility>

#include "base/activity.h"
#include "base/clock.h"
#include "base/messages.h"
#include "base/progress.h"
#include "base/settings.h"
#include "base/stop.h"
#include "calibrate/calibration_report.h"
#include "action/notice.h"
#include "core/calibration_pass.h"
#include "action/expiry.h"
#include "core/sources.h"
#include "core/startup.h"
#include "devices/watcher.h"
#include "report/report.h"

namespace {

int idle_time = 0;

// The boot-time clock running ahead of the monotonic one by more than this
// between two passes means that the machine was suspended in between.
constexpr int64_t suspend_gap_ms = 5000;

struct loop_timing {
    long long window_elapsed = 0;  // seconds of passes since the last check, remainder included
    int64_t pass_monotonic = 0;    // the clocks at the previous pass
    int64_t pass_boottime = 0;
    int64_t credited_until = 0;    // monotonic time up to which idle time is counted
    bool notice_standing = false;  // a notice was given and not yet called off or acted on
};

// The real monotonic clock, which the sleep keeps to whatever clock tests
// stand in for the loop's.
int64_t monotonic_now_ms()
{
    struct timespec ts = {};
    (void)clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void ignore_signal(int) {}

const char* signal_name(int signo)
{
    switch (signo) {
    case SIGTERM:
        return "SIGTERM";
    case SIGINT:
        return "SIGINT";
    case SIGHUP:
        return "SIGHUP";
    default:
        return "?";
    }
}

void print_banner()
{
    printf(tr("\n監視開始\n"));
    printf(tr("\t満了時間：%d 分、表示間隔：%d 秒、判定間隔：%d 秒\n"),
           settings.exfire_time / 60, settings.disp_interval, settings.check_interval);
    if (settings.rx_threshold != 0)
        printf(tr("\tネットワーク 閾値：(受信)%llu Byte/%d秒\n"),
               (unsigned long long)settings.rx_threshold, settings.check_interval);
    if (settings.tx_threshold != 0)
        printf(tr("\tネットワーク 閾値：(送信)%llu Byte/%d秒\n"),
               (unsigned long long)settings.tx_threshold, settings.check_interval);
    if (settings.read_threshold != 0)
        printf(tr("\tディスク 閾値：(読み込み)%llu KB/%d秒\n"),
               (unsigned long long)settings.read_threshold, settings.check_interval);
    if (settings.write_threshold != 0)
        printf(tr("\tディスク 閾値：(書き込み)%llu KB/%d秒\n"),
               (unsigned long long)settings.write_threshold, settings.check_interval);
    // Out before the first sampler starts, and so before anything it says.
    (void)fflush(stdout);
}

// Whole seconds, to the nearest, that passed on the monotonic clock since
// idle time was last counted. The part of a second left over is counted at
// the next check, so rounding never adds up to a drift.
long long take_elapsed_seconds(loop_timing& t)
{
    const int64_t elapsed = watch_monotonic_ms() - t.credited_until;
    if (elapsed <= 0)
        return 0;
    const int64_t seconds = (elapsed + 500) / 1000;
    t.credited_until += seconds * 1000;
    return seconds;
}

// Time spent suspended is never idle time: after a wake-up the machine may
// well be in use again before any input reaches the watchers.
void restart_after_suspend(loop_timing& t)
{
    const int64_t monotonic = watch_monotonic_ms();
    const int64_t boottime = watch_boottime_ms();
    const int64_t gap = (boottime - t.pass_boottime) - (monotonic - t.pass_monotonic);
    t.pass_monotonic = monotonic;
    t.pass_boottime = boottime;
    if (gap <= suspend_gap_ms)
        return;
    idle_time = 0;
    t.credited_until = monotonic;
    printf(tr("\n継続時間：初期化(サスペンドから復帰)\n"));
    (void)fflush(stdout);
}

// What became of a check.
enum check_end {
    check_go_on,      // watching goes on
    check_loop_ends,  // an expiry ended the loop
    check_abandoned,  // a stop request came while the sources were asked
};

// One check's verdict: idle periods add the seconds that really passed
// since the previous check.
check_end check_verdict(loop_timing& t, activity_check& check)
{
    sources_check(check);
    // A stop request that came while the sources were asked (a check command
    // cut short) leaves no verdict: nothing is acted on.
    if (stop_requested())
        return check_abandoned;

    const long long idle = idle_time + take_elapsed_seconds(t);
    if (check.busy) {
        idle_time = 0;
        printf(tr("\n継続時間：初期化%s\n"), check.message.c_str());
        (void)notice_after_check(true, 0, t.notice_standing);  // a standing notice is called off
        (void)fflush(stdout);
        return check_go_on;
    }
    idle_time = idle > INT_MAX ? INT_MAX : static_cast<int>(idle);
    const bool expired = idle_time >= settings.exfire_time;
    if (!expired)
        printf(tr("\n継続時間：%d分\n"), idle_time / 60);
    // The notice comes after the verdict and before any expiry action.
    (void)notice_after_check(false, idle_time, t.notice_standing);
    if (!expired) {
        (void)fflush(stdout);
        return check_go_on;
    }
    if (!shutdown_proc(check)) {
        // Nothing was carried out (the way back could not be armed, and the
        // check stands as busy; or a stop request came first): no expiry is
        // counted, and the next expiry tries again.
        idle_time = 0;
        t.credited_until = watch_monotonic_ms();
        t.notice_standing = false;
        return check_go_on;
    }
    t.notice_standing = false;
    report_expiry();
    if (settings.watch_roop <= 0)
        return check_loop_ends;
    // Counting starts again once the action has ended.
    idle_time = 0;
    t.credited_until = watch_monotonic_ms();
    return check_go_on;
}

// One check, and the reports of it whatever its way out but a stop.
bool watch_check(loop_timing& t)
{
    activity_check check;
    check.growth_wanted = settings.metrics_path[0] != '\0';  // only the metrics show it
    const check_end end = check_verdict(t, check);
    if (end == check_abandoned)
        return false;
    report_check(std::move(check), idle_time, watch_unix_time());
    return end == check_go_on;
}

// What one run of the loop does at each pass and at each check; check
// returns false to end the loop.
struct loop_steps {
    void (*pass)(loop_timing& t);
    bool (*check)(loop_timing& t);
};

// Passes every display interval, a check every check interval, until a
// check ends the loop or a stop signal arrives; then the device watchers
// are stopped. Returns true when a stop signal ended it.
bool run_loop(const loop_steps& steps)
{
    loop_timing t;
    t.pass_monotonic = t.credited_until = watch_monotonic_ms();
    t.pass_boottime = watch_boottime_ms();
    bool stopped = false;
    for (;;) {
        if (stop_requested()) {
            stopped = true;
            break;
        }
        steps.pass(t);
        t.window_elapsed += settings.disp_interval;
        if (t.window_elapsed >= settings.check_interval) {
            if (!steps.check(t)) {
                stopped = stop_requested();
                break;
            }
            t.window_elapsed -= settings.check_interval;
        }
        device_operation_disp_done.store(0);
        report_pass();
        (void)fflush(stdout);
        watch_sleep(static_cast<unsigned>(settings.disp_interval));
    }
    device_thread_delete();
    if (stopped)
        printf(tr("\n監視終了（シグナル %s を受信）\n"), signal_name(stop_signal_received()));
    return stopped;
}

void watch_pass(loop_timing& t)
{
    restart_after_suspend(t);
    sources_pass();
}

}  // namespace

int watch_idle_time()
{
    return idle_time;
}

void real_watch_sleep(unsigned seconds)
{
    const int64_t deadline = monotonic_now_ms() + static_cast<int64_t>(seconds) * 1000;
    for (;;) {
        if (stop_requested())
            return;
        const int64_t left = deadline - monotonic_now_ms();
        if (left <= 0)
            return;
        struct timespec timeout = {static_cast<time_t>(left / 1000), static_cast<long>(left % 1000) * 1000000L};
        struct pollfd wake = {stop_wake_fd(), POLLIN, 0};
        (void)ppoll(&wake, 1, &timeout, nullptr);
    }
}

void (*watch_sleep)(unsigned seconds) = real_watch_sleep;

void watch_stop_request(int signo)
{
    stop_request(signo);
}

void watch_signals_install()
{
    stop_wake_open();
    // Restarted system calls let a sampler's read or a command's wait go on;
    // the sleep's ppoll is never restarted, so the loop sees the signal.
    struct sigaction stop = {};
    stop.sa_handler = watch_stop_request;
    stop.sa_flags = SA_RESTART;
    sigemptyset(&stop.sa_mask);
    // A signal that the program was started with ignored stays ignored, as
    // nohup and the shell's background jobs expect.
    for (const int signo : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction inherited = {};
        if (sigaction(signo, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN)
            continue;
        (void)sigaction(signo, &stop, nullptr);
    }
    // A handler that does nothing rather than SIG_IGN: a write to a closed
    // pipe fails with EPIPE all the same, and the commands that the program
    // starts get the default back at exec instead of inheriting "ignore".
    struct sigaction pipe = {};
    pipe.sa_handler = ignore_signal;
    pipe.sa_flags = SA_RESTART;
    sigemptyset(&pipe.sa_mask);
    (void)sigaction(SIGPIPE, &pipe, nullptr);
}

void watch_start()
{
    print_banner();
    report_start(watch_unix_time());
    (void)run_loop({watch_pass, watch_check});
    report_end();
    (void)fflush(stdout);
}

void watch_calibrate(int minutes)
{
    calibration_start_print(minutes);
    calibration_pass_begin(minutes);
    // A stop signal ends the measuring early; what was measured is reported.
    (void)run_loop({[](loop_timing&) { calibration_pass_sample(); },
                    [](loop_timing&) { return calibration_pass_check(); }});
    calibration_pass_end();
    calibration_report_print();
    (void)fflush(stdout);
}

void core_reset()
{
    idle_time = 0;
    stop_reset();
    watch_sleep = real_watch_sleep;
    clock_reset();
    action_reset();
    system_config_path = default_system_config_path;
}
