#include "config/config_file.h"

#include <cstring>
#include <memory>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "base/streams.h"
#include "config/config_values.h"
#include "base/settings.h"
#include "devices/registry.h"

namespace {

constexpr int config_piece_size = 256;  // each read takes at most 255 bytes
constexpr int config_chain_limit = 64;  // files one call may read in turn

enum key_action {
    act_command,
    act_file,
    act_device_name,
    act_threshold,
    act_exfire_time,
    act_positive,
    act_disp_level,
    act_not_roop,
    act_event,
    act_counter_source,
    act_disk_prefixes,
};

struct config_key {
    const char* text;
    key_action action;
    uint64_t* threshold;  // act_threshold: the setting and its unit shift
    unsigned shift;
    int32_t* setting;     // act_positive: the setting
};

// Tested in this order, each anywhere in the line; the first found decides.
const config_key config_keys[] = {
    {"COMMAND=", act_command, nullptr, 0, nullptr},
    {"FILE=", act_file, nullptr, 0, nullptr},
    {"DEVICE_NAME=", act_device_name, nullptr, 0, nullptr},
    {"RX_THRESHOLD=", act_threshold, &settings.rx_threshold, 0, nullptr},
    {"RX_THRESHOLD_KB=", act_threshold, &settings.rx_threshold, 10, nullptr},
    {"RX_THRESHOLD_MB=", act_threshold, &settings.rx_threshold, 20, nullptr},
    {"TX_THRESHOLD=", act_threshold, &settings.tx_threshold, 0, nullptr},
    {"TX_THRESHOLD_KB=", act_threshold, &settings.tx_threshold, 10, nullptr},
    {"TX_THRESHOLD_MB=", act_threshold, &settings.tx_threshold, 20, nullptr},
    {"READ_THRESHOLD=", act_threshold, &settings.read_threshold, 0, nullptr},
    {"READ_THRESHOLD_MB=", act_threshold, &settings.read_threshold, 10, nullptr},
    {"WRITE_THRESHOLD=", act_threshold, &settings.write_threshold, 0, nullptr},
    {"WRITE_THRESHOLD_MB=", act_threshold, &settings.write_threshold, 10, nullptr},
    {"EXFIRE_TIME=", act_exfire_time, nullptr, 0, nullptr},
    {"CHECK_INTERVAL=", act_positive, nullptr, 0, &settings.check_interval},
    {"DISP_INTERVAL=", act_positive, nullptr, 0, &settings.disp_interval},
    {"DISP_LEVEL=", act_disp_level, nullptr, 0, nullptr},
    {"NOT_ROOP", act_not_roop, nullptr, 0, nullptr},
    {"EVENT=", act_event, nullptr, 0, nullptr},
    // Later additions: neither contains an earlier key, so no line that
    // worked before changes meaning.
    {"COUNTER_SOURCE=", act_counter_source, nullptr, 0, nullptr},
    {"DISK_PREFIXES=", act_disk_prefixes, nullptr, 0, nullptr},
};

// Comment lines hold "//" anywhere; blank lines hold nothing but spaces
// (a tab does not count as blank).
bool config_line_skipped(const char* piece)
{
    if (strstr(piece, "//") != nullptr)
        return true;
    while (*piece == ' ')
        piece++;
    return *piece == '\n' || *piece == '\0';
}

void config_command_apply(const char* value)
{
    if (*value == '\0')
        return;
    // A value is at most 247 bytes (a 255-byte piece less the key), so it
    // always fits; the copy is bounded all the same.
    (void)snprintf(settings.command, sizeof settings.command, "%s", value);
    printf("コマンド設定：%s\n", settings.command);
}

// The enumerated values are taken without surrounding blanks and without a
// carriage return, so that files with CR LF line ends work.
std::string_view config_word(const char* value)
{
    std::string_view word(value);
    const auto first = word.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    word.remove_prefix(first);
    word.remove_suffix(word.size() - 1 - word.find_last_not_of(" \t\r"));
    return word;
}

void config_bad_value(const char* line)
{
    printf("設定ファイルの値に誤りがあります：%s\n", line);
}

void config_key_apply(const config_key& key, const char* value, const char* line)
{
    switch (key.action) {
    case act_command: config_command_apply(value); break;
    case act_file: break;  // handled by the reader
    case act_device_name: add_device_by_device_name(value); break;
    case act_threshold: *key.threshold = config_unsigned(value) << key.shift; break;
    case act_exfire_time: config_set_exfire_time(value); break;
    case act_positive: config_set_positive(key.setting, value); break;
    case act_disp_level: settings.disp_level = config_signed(value); break;
    case act_not_roop: settings.watch_roop = -1; break;
    case act_event: add_device_by_event_name(value); break;
    case act_counter_source:
        if (!config_counter_source(config_word(value), &settings.counter_source))
            config_bad_value(line);
        break;
    case act_disk_prefixes:
        if (!config_set_disk_prefixes(config_word(value)))
            config_bad_value(line);
        break;
    }
}

}  // namespace

bool config_line_apply(char* piece, std::string* handover)
{
    if (config_line_skipped(piece))
        return false;
    char* line_feed = strchr(piece, '\n');
    if (line_feed != nullptr)
        *line_feed = '\0';
    for (const config_key& key : config_keys) {
        const char* found = strstr(piece, key.text);
        if (found == nullptr)
            continue;
        const char* value = found + strlen(key.text);
        if (key.action == act_file) {
            handover->assign(value);
            return true;
        }
        config_key_apply(key, value, piece);
        return false;
    }
    printf("設定ファイルエラー：%s\n", piece);
    return false;
}

bool config_stream_apply(FILE* fp, std::string* handover)
{
    char piece[config_piece_size];
    while (fgets(piece, sizeof piece, fp) != nullptr) {
        if (config_line_apply(piece, handover))
            return true;
    }
    return false;
}

namespace {


// The files one call has opened, by identity, to stop a "FILE=" chain that
// comes back to one of them.
struct config_chain {
    dev_t dev[config_chain_limit];
    ino_t ino[config_chain_limit];
    int count;
};

enum open_outcome { config_opened, config_unopenable, config_refused, config_looped };

// The daemon runs as root and runs the file's command: a file that others
// may write, or that belongs to another user, is not used.
bool config_file_trusted(const char* path, const struct stat& st)
{
    if ((st.st_mode & S_IWOTH) != 0) {
        printf("設定ファイルを使用しません（他のユーザーが書き込み可能）：%s\n", path);
        return false;
    }
    if (st.st_uid != 0 && st.st_uid != geteuid()) {
        printf("設定ファイルを使用しません（所有者が root でも実行ユーザーでもありません）：%s\n", path);
        return false;
    }
    return true;
}

bool config_chain_add(config_chain& chain, const char* path, const struct stat& st)
{
    for (int i = 0; i < chain.count; i++) {
        if (chain.dev[i] == st.st_dev && chain.ino[i] == st.st_ino) {
            printf("設定ファイルの引き継ぎが循環しています：%s\n", path);
            return false;
        }
    }
    if (chain.count == config_chain_limit) {
        printf("設定ファイルの引き継ぎが多すぎます：%s\n", path);
        return false;
    }
    chain.dev[chain.count] = st.st_dev;
    chain.ino[chain.count] = st.st_ino;
    chain.count++;
    return true;
}

// Opens path and checks the status of the opened file itself, so that the
// file checked is the file read.
open_outcome config_open(const char* path, config_chain& chain, file_stream& out)
{
    // Close-on-exec: the device lookups a file asks for start commands.
    file_stream fp(fopen(path, "re"));
    if (!fp)
        return config_unopenable;
    struct stat st;
    if (fstat(fileno(fp.get()), &st) != 0) {
        printf("設定ファイルを使用しません（状態を取得できません）：%s\n", path);
        return config_refused;
    }
    // A directory opens but never reads: it is no file at all, and must not
    // count as one read to its end (which would hide the next candidate).
    if (S_ISDIR(st.st_mode))
        return config_unopenable;
    if (!config_file_trusted(path, st))
        return config_refused;
    if (!config_chain_add(chain, path, st))
        return config_looped;
    out = std::move(fp);
    return config_opened;
}

}  // namespace

int read_config(const char* path)
{
    config_chain chain{};
    file_stream fp;
    if (config_open(path, chain, fp) != config_opened)
        return -1;
    std::string next;
    while (config_stream_apply(fp.get(), &next)) {
        fp.reset();  // the current file is closed before the next is opened
        const open_outcome outcome = config_open(next.c_str(), chain, fp);
        if (outcome == config_looped)
            return -1;
        if (outcome != config_opened) {
            printf("設定ファイルの読み込み失敗:%s\n", next.c_str());
            return -1;
        }
    }
    return 1;
}
