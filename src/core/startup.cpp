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

const char* system_config_path = "/etc/lullwatcher/lullwatcher.conf";

bool read_default_config()
{
    // The working directory is fetched whole, however long, so that the
    // local file is never looked up through a cut path. When it cannot be
    // fetched, only the local candidate is skipped: the system file is
    // still read. A file refused as unsafe stops the start: the settings
    // its owner wrote must not give way to the defaults.
    char* cwd = getcwd(nullptr, 0);
    if (cwd != nullptr) {
        const std::string local = std::string(cwd) + "/lullwatcher.conf";
        free(cwd);
        const int result = read_config(local.c_str());
        if (result != -1)
            return result != config_read_refused;
    }
    const int result = read_config(system_config_path);
    if (result == -1)
        printf("設定ファイルの読み込み失敗:%s\n", system_config_path);
    return result != config_read_refused;
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

    if (argc <= 1 ? !read_default_config() : arg_anal(argc, argv) < 0)
        return -1;

    if (!time_settings_valid())
        return -1;

    device_thread_create();
    watch_start();
    return 0;
}
