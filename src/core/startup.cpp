#include "core/startup.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "config/args.h"
#include "config/config_file.h"
#include "base/settings.h"
#include "core/watch.h"
#include "devices/watcher.h"

const char* const default_system_config_path = "/etc/lullwatcher/lullwatcher.conf";
const char* system_config_path = default_system_config_path;

void read_default_config()
{
    // The working directory is fetched whole, however long, so that the
    // local file is never looked up through a cut path. When it cannot be
    // fetched, only the local candidate is skipped: the system file is
    // still read.
    char* cwd = getcwd(nullptr, 0);
    if (cwd != nullptr) {
        const std::string local = std::string(cwd) + "/lullwatcher.conf";
        free(cwd);
        if (read_config(local.c_str()) != -1)
            return;
    }
    if (read_config(system_config_path) == -1)
        printf("設定ファイルの読み込み失敗:%s\n", system_config_path);
}

bool time_settings_valid()
{
    if (settings.disp_interval <= settings.check_interval &&
        settings.check_interval <= settings.exfire_time)
        return true;
    printf("時間設定に誤りがあります。\n表示間隔 ＜ チェック間隔 ＜ 満了時間で設定してください。\n現状： %d %d %d\n",
           settings.disp_interval, settings.check_interval, settings.exfire_time);
    return false;
}

int lullwatcher_main(int argc, char** argv)
{
    // The output is the only log: under systemd or a pipe it must arrive
    // line by line, not when a buffer happens to fill.
    (void)setvbuf(stdout, nullptr, _IOLBF, 0);

    if (argc <= 1)
        read_default_config();
    else if (arg_anal(argc, argv) < 0)
        return -1;

    if (!time_settings_valid())
        return -1;

    device_thread_create();
    watch_start();
    return 0;
}
