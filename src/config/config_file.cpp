#include "config/config_file.h"

#include <cstring>
#include <memory>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "base/streams.h"
#include "config/config_values.h"
#include "config/setting_table.h"
#include "base/settings.h"

namespace {

constexpr int config_piece_size = 256;  // each read takes at most 255 bytes
constexpr int config_chain_limit = 64;  // files one call may read in turn

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

// An empty value changes nothing; a taken one is confirmed.
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

void config_key_apply(const setting_descriptor& row, const char* value, const char* line)
{
    switch (row.kind) {
    case kind_command: config_command_apply(value); break;
    // Unlike the command line, the file takes any level, 0 and below too.
    case kind_level: *row.number = config_signed(value); break;
    case kind_not_roop: settings.watch_roop = -1; break;
    case kind_counter_source:
    case kind_disk_prefixes: {
        const std::string word(config_word(value));
        if (!setting_value_apply(row, word.c_str()))
            config_bad_value(line);
        break;
    }
    default: (void)setting_value_apply(row, value); break;
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
    const char* value = nullptr;
    const setting_descriptor* row = setting_key_find(piece, &value);
    if (row == nullptr) {
        printf("設定ファイルエラー：%s\n", piece);
        return false;
    }
    if (row->kind == kind_file) {
        handover->assign(value);
        return true;
    }
    config_key_apply(*row, value, piece);
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
