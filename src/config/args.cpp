#include "config/args.h"

#include <cstdio>

#include "base/journal.h"
#include "base/messages.h"
#include "config/config_file.h"
#include "config/setting_kinds.h"
#include "config/setting_table.h"
#include "devices/registry.h"

int arg_exit_status = 0;

void arg_refuse(const char* arg)
{
    const char* const mark = journal_prefix(journal_error);
    printf(tr("%s対応しないパラメータ：%s\n%s起動できませんでした。--helpで確認してください。\n"), mark, arg, mark);
}

namespace {

// The parser's mode is the row whose value the next plain argument is, and
// the option as it was written; no row: an event name (at the start, and
// once an option's value was taken, so that "-ev" takes any number of them).
// A threshold row carries its unit factor, so the mode stands for the
// multiplier too.
struct arg_mode {
    const setting_descriptor* row = nullptr;
    const char* option = nullptr;
};

// Handles an option. Returns -1 when parsing ends here.
int arg_option(const char* arg, arg_mode& mode)
{
    const setting_descriptor* row = setting_option_find(arg);
    if (row == nullptr) {
        arg_refuse(arg);
        return -1;
    }
    if (row->flag != nullptr)
        return row->flag(*row);  // the pending mode stays
    mode = {row, arg};
    return 0;
}

// Takes the value of the pending option. Returns -1 when parsing ends here.
int arg_value(const char* arg, arg_mode& mode)
{
    const arg_mode taken = mode;
    if (taken.row == nullptr) {
        add_device_by_event_name(arg);
        return 0;
    }
    mode = {};
    const int result = taken.row->arg(*taken.row, arg);
    if (result == 0 && taken.row->warn != nullptr)
        taken.row->warn(*taken.row, taken.option, arg, false);
    return result;
}

}  // namespace

int arg_anal(int argc, char** argv)
{
    arg_mode mode;
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        const int result = arg[0] == '-' ? arg_option(arg, mode) : arg_value(arg, mode);
        if (result != 0)
            return result < 0 ? -1 : result;
    }
    // Calibration without its minutes would start watching instead.
    if (mode.row != nullptr && mode.row->needs_value) {
        arg_refuse(mode.row->short_option);
        return -1;
    }
    return 0;
}

std::string arg_language_scan(int argc, char** argv)
{
    std::string chosen;
    for (int i = 1; i + 1 < argc; i++) {
        const setting_descriptor* row = argv[i][0] == '-' ? setting_option_find(argv[i]) : nullptr;
        if (row == nullptr || argv[i + 1][0] == '-')
            continue;
        std::string in_file;
        if (row == &setting_language_row())
            chosen = argv[i + 1];
        else if (row->hands_over && config_language_scan(argv[i + 1], in_file) && !in_file.empty())
            chosen = in_file;
    }
    return chosen;
}

int arg_test_config_count(int argc, char** argv)
{
    int count = 0;
    for (int i = 1; i < argc; i++) {
        const setting_descriptor* row = setting_option_find(argv[i]);
        if (row != nullptr && row->flag == test_config_flag)
            count++;
    }
    return count;
}
