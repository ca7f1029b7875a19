#include "config/args.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "config/config_file.h"
#include "config/config_values.h"
#include "base/settings.h"
#include "devices/registry.h"

namespace {

// What the next plain argument is.
enum arg_mode : int32_t {
    mode_consumed = -1,  // an event name: the last option's value was taken
    mode_event = 0,
    mode_command = 1,
    mode_file = 2,
    mode_device_name = 3,
    mode_rx_threshold = 4,
    mode_tx_threshold = 5,
    mode_exfire_time = 6,
    mode_check_interval = 7,
    mode_disp_interval = 8,
    mode_disp_level = 9,
    mode_read_threshold = 10,
    mode_write_threshold = 11,
    mode_counter_source = 12,
    mode_disk_prefixes = 13,
    // Options that act at once instead of setting a mode.
    option_not_roop = 100,
    option_help = 101,
};

struct arg_state {
    int32_t mode;
    int32_t multiplier;  // unit factor of the next threshold value
};

struct exact_option {
    const char* short_form;
    const char* long_form;
    int32_t mode;
};

// Tested before the threshold families.
const exact_option leading_options[] = {
    {"-c", "--command", mode_command},
    {"-f", "--file", mode_file},
    {"-dv", "--device_name", mode_device_name},
};

// Tested after them; none contains "-rx", "-tx", "-r" or "-w".
const exact_option trailing_options[] = {
    {"-ex", "--exfire_time", mode_exfire_time},
    {"-ci", "--check_interval", mode_check_interval},
    {"-di", "--disp_interval", mode_disp_interval},
    {"-l", "--disp_level", mode_disp_level},
    {"-n", "--not_roop", option_not_roop},
    {"-h", "--help", option_help},
    {"-ev", "--event", mode_event},
    {"-so", "--counter_source", mode_counter_source},
    {"-dp", "--disk_prefixes", mode_disk_prefixes},
};

struct unit_form {
    const char* short_form;  // nullptr: no such form
    const char* long_form;
    int32_t factor;
};

// A family is any option that contains its pattern; only the exact unit
// forms change the factor from 1.
struct threshold_family {
    const char* pattern;
    int32_t mode;
    unit_form units[2];
};

const threshold_family threshold_families[] = {
    {"-rx", mode_rx_threshold, {{"-rxk", "--rx_threshold_kb", 1024}, {"-rxm", "--rx_threshold_mb", 1048576}}},
    {"-tx", mode_tx_threshold, {{"-txk", "--tx_threshold_kb", 1024}, {"-txm", "--tx_threshold_mb", 1048576}}},
    {"-r", mode_read_threshold, {{"-rm", "--read_threshold_mb", 1024}, {nullptr, nullptr, 1}}},
    {"-w", mode_write_threshold, {{"-wm", "--write_threshold_mb", 1024}, {nullptr, nullptr, 1}}},
};

template <size_t N>
bool exact_option_find(const exact_option (&table)[N], const char* arg, int32_t* mode)
{
    for (const exact_option& option : table) {
        if (strcmp(arg, option.short_form) == 0 || strcmp(arg, option.long_form) == 0) {
            *mode = option.mode;
            return true;
        }
    }
    return false;
}

bool threshold_option_find(const char* arg, arg_state& state)
{
    for (const threshold_family& family : threshold_families) {
        if (strstr(arg, family.pattern) == nullptr)
            continue;
        state.mode = family.mode;
        state.multiplier = 1;
        for (const unit_form& unit : family.units) {
            if (unit.short_form != nullptr &&
                (strcmp(arg, unit.short_form) == 0 || strcmp(arg, unit.long_form) == 0))
                state.multiplier = unit.factor;
        }
        return true;
    }
    return false;
}

void arg_refuse(const char* arg)
{
    printf("対応しないパラメータ：%s\n起動できませんでした。--helpで確認してください。\n", arg);
}

// Handles an option. Returns -1 when parsing ends here.
int arg_option(const char* arg, arg_state& state)
{
    int32_t mode = mode_event;
    if (!exact_option_find(leading_options, arg, &mode)) {
        if (threshold_option_find(arg, state))
            return 0;
        if (!exact_option_find(trailing_options, arg, &mode)) {
            arg_refuse(arg);
            return -1;
        }
    }
    if (mode == option_not_roop) {
        settings.watch_roop = -1;  // the pending mode stays
        return 0;
    }
    if (mode == option_help) {
        arg_help_print();
        return -1;
    }
    state.mode = mode;
    return 0;
}

// A command that does not fit is refused rather than cut: a cut command
// line would run something other than what was asked, as root.
int arg_command(const char* arg)
{
    const size_t length = strlen(arg);
    if (length >= sizeof settings.command) {
        printf("コマンドが長すぎます（%zu バイト、上限 %zu バイト）\n起動できませんでした。\n", length,
               sizeof settings.command - 1);
        return -1;
    }
    memcpy(settings.command, arg, length + 1);
    return 0;
}

uint64_t arg_threshold(const char* arg, const arg_state& state)
{
    return config_scaled(config_unsigned(arg), static_cast<uint64_t>(state.multiplier));
}

// Takes the value of the pending option. Returns -1 when it is refused.
int arg_value(const char* arg, arg_state& state)
{
    const int32_t mode = state.mode;
    if (mode != mode_event && mode != mode_consumed)
        state.mode = mode_consumed;
    switch (mode) {
    case mode_command: return arg_command(arg);
    case mode_file:
        if (read_config(arg) == -1)
            printf("設定ファイルの読み込み失敗:%s\n", arg);
        break;
    case mode_device_name: add_device_by_device_name(arg); break;
    case mode_rx_threshold: settings.rx_threshold = arg_threshold(arg, state); break;
    case mode_tx_threshold: settings.tx_threshold = arg_threshold(arg, state); break;
    case mode_read_threshold: settings.read_threshold = arg_threshold(arg, state); break;
    case mode_write_threshold: settings.write_threshold = arg_threshold(arg, state); break;
    case mode_exfire_time: config_set_exfire_time(arg); break;
    case mode_check_interval: config_set_positive(&settings.check_interval, arg); break;
    case mode_disp_interval: config_set_positive(&settings.disp_interval, arg); break;
    case mode_disp_level: config_set_positive(&settings.disp_level, arg); break;
    case mode_counter_source:
        if (!config_counter_source(arg, &settings.counter_source)) {
            arg_refuse(arg);
            return -1;
        }
        break;
    case mode_disk_prefixes:
        if (!config_set_disk_prefixes(arg)) {
            arg_refuse(arg);
            return -1;
        }
        break;
    default: add_device_by_event_name(arg); break;  // modes 0 and -1
    }
    return 0;
}

}  // namespace

int arg_anal(int argc, char** argv)
{
    arg_state state{mode_event, 1};
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        const int result = arg[0] == '-' ? arg_option(arg, state) : arg_value(arg, state);
        if (result < 0)
            return -1;
    }
    return 0;
}
