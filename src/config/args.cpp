#include "config/args.h"

#include <cstdio>
#include <cstring>

#include "base/journal.h"
#include "base/settings.h"
#include "config/config_file.h"
#include "config/config_values.h"
#include "config/setting_table.h"
#include "devices/registry.h"
#include "report/config_print.h"
#include "report/status_command.h"

int arg_exit_status = 0;

namespace {

// The parser's mode is the row whose value the next plain argument is;
// nullptr: an event name (at the start, after "-ev", and once an option's
// value was taken). A threshold row carries its unit factor, so the mode
// stands for the multiplier too.
using arg_mode = const setting_descriptor*;

void arg_refuse(const char* arg)
{
    const char* const mark = journal_prefix(journal_error);
    printf("%s対応しないパラメータ：%s\n%s起動できませんでした。--helpで確認してください。\n", mark, arg, mark);
}

// Handles an option. Returns -1 when parsing ends here.
int arg_option(const char* arg, arg_mode& mode)
{
    const setting_descriptor* row = setting_option_find(arg);
    if (row == nullptr) {
        arg_refuse(arg);
        return -1;
    }
    switch (row->kind) {
    case kind_not_roop: settings.watch_roop = -1; return 0;  // the pending mode stays
    case kind_dry_run: settings.dry_run = 1; return 0;        // likewise
    case kind_help: arg_help_print(); return -1;
    case kind_event: mode = nullptr; return 0;
    case kind_test_config: return 0;  // seen before parsing; the pending mode stays
    case kind_status_show:
        // The file that an earlier "-sp" (or "-f" file) named, else the
        // packaged service's.
        arg_exit_status =
            status_command(settings.status_path[0] != '\0' ? settings.status_path : status_path_default);
        return arg_finished;
    case kind_version: version_print(); arg_exit_status = 0; return arg_finished;
    default: mode = row; return 0;
    }
}

// A command (the expiry, the notice or the check command) that does not
// fit is refused rather than cut: a cut command line would run something other
// than what was asked, as root. An empty value empties the command.
template <size_t size>
int arg_command(const char* arg, char (&command)[size])
{
    const size_t length = strlen(arg);
    if (length >= size) {
        const char* const mark = journal_prefix(journal_error);
        printf("%sコマンドが長すぎます（%zu バイト、上限 %zu バイト）\n%s起動できませんでした。\n", mark, length,
               size - 1, mark);
        return -1;
    }
    memcpy(command, arg, length + 1);
    return 0;
}

// Takes the value of the pending option. Returns -1 when parsing ends here.
int arg_value(const char* arg, arg_mode& mode)
{
    const setting_descriptor* row = mode;
    if (row == nullptr) {
        add_device_by_event_name(arg);
        return 0;
    }
    mode = nullptr;
    switch (row->kind) {
    case kind_command: return arg_command(arg, settings.command);
    case kind_notice_run: return arg_command(arg, settings.notice_run);
    case kind_busy_check: return arg_command(arg, settings.busy_check);
    case kind_file: {
        const int result = read_config(arg);
        if (result == -1)
            printf("%s設定ファイルの読み込み失敗:%s\n", journal_prefix(journal_warning), arg);
        return result == config_read_refused ? -1 : 0;  // an unsafe file ends the start, as a refused option does
    }
    // Unlike the file, the command line takes only levels above 0.
    case kind_level: config_set_positive(row->number, arg); return 0;
    default:
        if (setting_value_apply(*row, arg))
            return 0;
        arg_refuse(arg);
        return -1;
    }
}

}  // namespace

int arg_anal(int argc, char** argv)
{
    arg_mode mode = nullptr;
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        const int result = arg[0] == '-' ? arg_option(arg, mode) : arg_value(arg, mode);
        if (result != 0)
            return result < 0 ? -1 : result;
    }
    // Calibration without its minutes would start watching instead.
    if (mode != nullptr && mode->kind == kind_calibrate) {
        arg_refuse(mode->short_option);
        return -1;
    }
    return 0;
}

int arg_test_config_count(int argc, char** argv)
{
    int count = 0;
    for (int i = 1; i < argc; i++) {
        const setting_descriptor* row = setting_option_find(argv[i]);
        if (row != nullptr && row->kind == kind_test_config)
            count++;
    }
    return count;
}
