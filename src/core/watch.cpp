#include "core/watch.h"

#include <climits>
#include <cstdio>
#include <unistd.h>

#include "base/activity.h"
#include "base/progress.h"
#include "core/command.h"
#include "core/startup.h"
#include "base/settings.h"
#include "devices/watcher.h"
#include "sampling/drive.h"
#include "sampling/traffic.h"

namespace {

int idle_time = 0;

void print_banner()
{
    printf("\n監視開始\n");
    printf("\t満了時間：%d 分、表示間隔：%d 秒、判定間隔：%d 秒\n",
           settings.exfire_time / 60, settings.disp_interval, settings.check_interval);
    if (settings.rx_threshold != 0)
        printf("\tネットワーク 閾値：(受信)%llu Byte/%d秒\n",
               (unsigned long long)settings.rx_threshold, settings.check_interval);
    if (settings.tx_threshold != 0)
        printf("\tネットワーク 閾値：(送信)%llu Byte/%d秒\n",
               (unsigned long long)settings.tx_threshold, settings.check_interval);
    if (settings.read_threshold != 0)
        printf("\tディスク 閾値：(読み込み)%llu KB/%d秒\n",
               (unsigned long long)settings.read_threshold, settings.check_interval);
    if (settings.write_threshold != 0)
        printf("\tディスク 閾値：(書き込み)%llu KB/%d秒\n",
               (unsigned long long)settings.write_threshold, settings.check_interval);
}

// One check. idle_seconds is the time that passed since the previous check,
// so every second is counted once. Returns false when the loop must end.
bool watch_check(long long idle_seconds)
{
    activity_check check;
    device_check(check);
    if (network_watched())
        traffic_data_check(check);
    if (disk_watched())
        drive_data_check(check);

    if (check.busy) {
        idle_time = 0;
        printf("\n継続時間：初期化%s\n", check.message.c_str());
        return true;
    }
    const long long idle = idle_time + idle_seconds;
    idle_time = idle > INT_MAX ? INT_MAX : static_cast<int>(idle);
    if (idle_time < settings.exfire_time) {
        printf("\n継続時間：%d分\n", idle_time / 60);
        return true;
    }
    shutdown_proc();
    if (settings.watch_roop <= 0)
        return false;
    idle_time = 0;
    return true;
}

}  // namespace

int watch_idle_time()
{
    return idle_time;
}

void real_watch_sleep(unsigned seconds)
{
    sleep(seconds);
}

void (*watch_sleep)(unsigned seconds) = real_watch_sleep;

void watch_start()
{
    print_banner();
    // Seconds of passes since the last check, remainder included (decides
    // when a check is due), and without the remainder (what the check adds).
    long long window_elapsed = 0;
    long long since_check = 0;
    for (;;) {
        if (network_watched()) {
            get_traffic_data();
            disp_traffic_data();
        }
        if (disk_watched()) {
            get_drive_data();
            drive_data_disp();
        }
        window_elapsed += settings.disp_interval;
        since_check += settings.disp_interval;
        if (window_elapsed >= settings.check_interval) {
            if (!watch_check(since_check))
                break;
            since_check = 0;
            window_elapsed -= settings.check_interval;
        }
        device_operation_disp_done.store(0);
        watch_sleep(static_cast<unsigned>(settings.disp_interval));
    }
    device_thread_delete();
}

void shutdown_proc()
{
    printf("監視満了!!\n");
    if (settings.command[0] != '\0') {
        run_reported(settings.command);
        return;
    }
    for (int i = 0; i < 3; i++)
        run_reported("sync");
    run_reported("shutdown -h now");
}

void core_reset()
{
    idle_time = 0;
    watch_sleep = real_watch_sleep;
    expiry_runner = run_command;
    system_config_path = default_system_config_path;
}
