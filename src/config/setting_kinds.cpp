#include "config/setting_kinds.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/config_line.h"
#include "base/day_time.h"
#include "base/journal.h"
#include "base/messages.h"
#include "base/name_list.h"
#include "base/settings.h"
#include "base/text_escape.h"
#include "config/args.h"
#include "config/config_file.h"
#include "config/config_values.h"
#include "devices/registry.h"
#include "report/config_print.h"
#include "report/status_command.h"
#include "report/status_file.h"

const char* const on_off_words[] = {"off", "on", nullptr};

// Takes: both sources saturate a threshold that does not fit in 64 bits
// after its unit factor (a wrap could land on 0 and silently stop the
// watching); values that say nothing known are refused, never cut or
// guessed (a source silently left off could power off a machine in use).

bool threshold_take(const setting_descriptor& row, const char* value)
{
    *row.threshold = config_scaled(config_unsigned(value), row.factor);
    return true;
}

bool minutes_take(const setting_descriptor& row, const char* value)
{
    config_set_minutes(row.number, value);
    return true;
}

// 0 switches it off.
bool minutes_or_off_take(const setting_descriptor& row, const char* value)
{
    const int32_t minutes = config_signed(value);
    if (minutes >= 0)
        *row.number = config_minutes_to_seconds(minutes);
    return true;
}

bool positive_take(const setting_descriptor& row, const char* value)
{
    config_set_positive(row.number, value);
    return true;
}

// A calibration that did not understand its length must not start watching
// (and acting) instead.
bool count_take(const setting_descriptor& row, const char* value)
{
    return config_take_positive(row.number, value);
}

bool percent_take(const setting_descriptor& row, const char* value)
{
    return config_percent(value, row.number);
}

bool word_take(const setting_descriptor& row, const char* value)
{
    for (int32_t i = 0; row.words[i] != nullptr; i++) {
        if (strcmp(value, row.words[i]) == 0) {
            *row.number = i;
            return true;
        }
    }
    return false;
}

// Every item must be one of the words: a misspelt one would leave a
// source off unseen.
bool word_set_take(const setting_descriptor& row, const char* value)
{
    const std::string_view list(value);
    int32_t bits = 0;
    std::size_t items = 0;
    bool known = true;
    for_each_list_item(list, [&](std::string_view item) {
        int32_t i = 0;
        while (row.words[i] != nullptr && item != row.words[i])
            i++;
        known = known && row.words[i] != nullptr;
        bits |= int32_t{1} << i;
        items++;
    });
    const bool none = list.empty() || list == "off";
    if (!none && (!known || items != static_cast<std::size_t>(std::count(list.begin(), list.end(), ',')) + 1))
        return false;
    *row.number = none ? 0 : bits;
    return true;
}

bool text_take(const setting_descriptor& row, const char* value)
{
    return config_set_text(value, row.text, row.size);
}

bool name_list_take(const setting_descriptor& row, const char* value)
{
    return config_set_name_list(value, row.text, row.size);
}

bool port_list_take(const setting_descriptor& row, const char* value)
{
    return config_set_port_list(value, row.text, row.size);
}

bool prefix_list_take(const setting_descriptor& row, const char* value)
{
    return config_set_prefix_list(value, row.text, row.size);
}

bool path_take(const setting_descriptor& row, const char* value)
{
    return config_set_report_path(value, row.text, row.size);
}

bool day_windows_take(const setting_descriptor& row, const char* value)
{
    std::vector<day_window> windows;
    return parse_day_windows(value, windows) && config_set_text(value, row.text, row.size);
}

bool device_name_take(const setting_descriptor&, const char* value)
{
    add_device_by_device_name(value);
    return true;
}

bool event_name_take(const setting_descriptor&, const char* value)
{
    add_device_by_event_name(value);
    return true;
}

// A language without a catalog is refused.
bool language_take(const setting_descriptor&, const char* value)
{
    return messages_choose(value);
}

bool day_minutes_take(const setting_descriptor& row, const char* value)
{
    const std::size_t length = strlen(value);
    if (length == 0 || length > 4)
        return false;
    int32_t minutes = 0;
    for (const char* c = value; *c != '\0'; c++) {
        if (*c < '0' || *c > '9')
            return false;
        minutes = minutes * 10 + (*c - '0');
    }
    if (minutes < 1 || minutes > 1440)
        return false;
    *row.number = minutes * 60;
    return true;
}

bool day_times_take(const setting_descriptor& row, const char* value)
{
    std::vector<day_time> times;
    return parse_day_times(value, times) && config_set_text(value, row.text, row.size);
}

// The file's values.

// Words and lists are taken without surrounding blanks and without a
// carriage return, so that files with CR LF line ends work.
bool word_file(const setting_descriptor& row, const char* value)
{
    std::string_view word(value);
    const auto first = word.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        word = {};
    else
        word = word.substr(first, word.find_last_not_of(" \t\r") + 1 - first);
    return row.take(row, std::string(word).c_str());
}

// Unlike the command line, the file takes any level, 0 and below too.
bool level_file(const setting_descriptor& row, const char* value)
{
    *row.number = config_signed(value);
    return true;
}

// A key without a value ("NOT_ROOP") acts as its option does.
bool flag_file(const setting_descriptor& row, const char*)
{
    (void)row.flag(row);
    return true;
}

// An empty command changes nothing.
bool command_file(const setting_descriptor& row, const char* value)
{
    return *value == '\0' || row.take(row, value);
}

// A taken expiry command is confirmed.
bool expiry_command_file(const setting_descriptor& row, const char* value)
{
    if (*value == '\0')
        return true;
    if (!row.take(row, value))
        return false;
    printf(tr("コマンド設定：%s\n"), row.text);
    return true;
}

// The command line's values.

int value_arg(const setting_descriptor& row, const char* value)
{
    if (row.take(row, value))
        return 0;
    arg_refuse(value);
    return -1;
}

// A command (the expiry, the notice or the check command) that does not
// fit is refused rather than cut: a cut command line would run something
// other than what was asked, as root. An empty value empties the command.
int command_arg(const setting_descriptor& row, const char* value)
{
    if (row.take(row, value))
        return 0;
    const char* const mark = journal_prefix(journal_error);
    printf(tr("%sコマンドが長すぎます（%zu バイト、上限 %zu バイト）\n%s起動できませんでした。\n"), mark, strlen(value),
           row.size - 1, mark);
    return -1;
}

// An unsafe file ends the start, as a refused option does.
int config_file_arg(const setting_descriptor&, const char* value)
{
    const int result = read_config(value);
    if (result == -1)
        printf(tr("%s設定ファイルの読み込み失敗:%s\n"), journal_prefix(journal_warning), value);
    return result == config_read_refused ? -1 : 0;
}

// Flags.

int not_roop_flag(const setting_descriptor&)
{
    settings.watch_roop = -1;
    return 0;
}

int switch_on_flag(const setting_descriptor& row)
{
    *row.number = 1;
    return 0;
}

int help_flag(const setting_descriptor&)
{
    arg_help_print();
    return -1;
}

// Seen before the parse (arg_test_config_count).
int test_config_flag(const setting_descriptor&)
{
    return 0;
}

// The file that an earlier "-sp" (or "-f" file) named, else the packaged
// service's.
int status_flag(const setting_descriptor&)
{
    arg_exit_status = status_command(settings.status_path[0] != '\0' ? settings.status_path : status_path_default);
    return arg_finished;
}

int version_flag(const setting_descriptor&)
{
    version_print();
    arg_exit_status = 0;
    return arg_finished;
}

// Warnings on numbers: the conversions stay as they are (files and scripts
// rely on them), but a value that was no number, or was ignored, is named,
// so that a typo does not silently stop the watching.

namespace {

// Whether text is a plain whole number: blanks, an optional sign (a minus
// only where signed), digits, blanks (a carriage return too).
bool plain_number(std::string_view text, bool sign_allowed)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    std::size_t i = 0;
    while (i < text.size() && blank(text[i]))
        i++;
    if (i < text.size() && (text[i] == '+' || (sign_allowed && text[i] == '-')))
        i++;
    const std::size_t digits = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        i++;
    if (i == digits || i - digits > 18)  // no digits, or too many to be meant
        return false;
    while (i < text.size() && blank(text[i]))
        i++;
    return i == text.size();
}

}  // namespace

void threshold_warn(const setting_descriptor& row, const char* name, const char* value, bool)
{
    if (plain_number(value, false))
        return;
    const unsigned long long taken = *row.threshold;
    const char* const mark = journal_prefix(journal_warning);
    if (taken == 0)
        printf(tr("%s警告：%s の値「%s」は数値ではありません。0（未監視）とみなします。\n"), mark, name,
               text_escape(value).c_str());
    else
        printf(tr("%s警告：%s の値「%s」は数値ではありません。%llu とみなします。\n"), mark, name,
               text_escape(value).c_str(), taken);
}

void time_warn(const setting_descriptor& row, const char* name, const char* value, bool from_file)
{
    // The file takes any display level, the notice time 0 too; elsewhere
    // only values above 0 are taken.
    const bool any = from_file && row.file == level_file;
    const int32_t least = row.take == minutes_or_off_take ? 0 : 1;
    const int32_t read = config_signed(value);
    const char* const mark = journal_prefix(journal_warning);
    if (!any && read < least)
        printf(tr("%s警告：%s の値「%s」は 0 より大きい整数ではないため無視します。\n"), mark, name,
               text_escape(value).c_str());
    else if (!plain_number(value, true))
        printf(tr("%s警告：%s の値「%s」は数値ではありません。%d とみなします。\n"), mark, name, text_escape(value).c_str(),
               read);
}

// "-t": the values in the file's units.

void threshold_print(const setting_descriptor& row)
{
    printf("%s%" PRIu64 "\n", row.key, *row.threshold);
}

void minutes_print(const setting_descriptor& row)
{
    printf("%s%d\n", row.key, *row.number / 60);
}

void number_print(const setting_descriptor& row)
{
    printf("%s%d\n", row.key, *row.number);
}

// A value without a word prints as the first.
void word_print(const setting_descriptor& row)
{
    int32_t count = 0;
    while (row.words[count] != nullptr)
        count++;
    const int32_t value = *row.number;
    printf("%s%s\n", row.key, row.words[value >= 0 && value < count ? value : 0]);
}

void word_set_print(const setting_descriptor& row)
{
    std::string words;
    for (int32_t i = 0; row.words[i] != nullptr; i++)
        if ((*row.number >> i & 1) != 0)
            words += (words.empty() ? "" : ",") + std::string(row.words[i]);
    printf("%s%s\n", row.key, words.empty() ? "off" : words.c_str());
}

void on_off_print(const setting_descriptor& row)
{
    printf("%s%s\n", row.key, *row.number != 0 ? "on" : "off");
}

void text_print(const setting_descriptor& row)
{
    config_line_print(row.key, row.text);
}

void path_print(const setting_descriptor& row)
{
    config_line_print(row.key, row.text[0] == '\0' ? "off" : row.text);
}

void expiry_command_print(const setting_descriptor& row)
{
    config_line_print(row.key, expiry_action_text());
}

void language_print(const setting_descriptor& row)
{
    printf("%s%s\n", row.key, messages_language().c_str());
}

void not_roop_print(const setting_descriptor& row)
{
    if (settings.watch_roop <= 0)
        printf("%s\n", row.key);
    else
        printf(tr("// %s なし：満了後も監視を続けます\n"), row.key);
}
