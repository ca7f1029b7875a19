#include "config/config_file.h"

#include <cstring>
#include <memory>
#include <sys/stat.h>

#include "base/journal.h"
#include "base/streams.h"
#include "config/config_trust.h"
#include "config/setting_table.h"

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

void config_bad_value(const char* line)
{
    printf("%s設定ファイルの値に誤りがあります：%s\n", journal_prefix(journal_warning), line);
}

void config_key_apply(const setting_descriptor& row, const char* value, const char* line)
{
    if (!row.file(row, value))
        config_bad_value(line);
}

// What a piece of a line led to.
enum line_outcome { line_applied, line_handover };

// Cuts the piece at its line feed. A text value also loses one carriage
// return just before it, so that files with CR LF line ends give the
// command, paths and names that were written.
void config_line_end_cut(char* piece, const setting_descriptor* row)
{
    char* line_feed = strchr(piece, '\n');
    if (line_feed == nullptr)
        return;
    *line_feed = '\0';
    if (row != nullptr && setting_takes_text(*row) && line_feed > piece && line_feed[-1] == '\r')
        line_feed[-1] = '\0';
}

// True when a piece fills the buffer and its line goes on in fp: anything
// but the line feed or the end of the file follows.
bool config_piece_cut(const char* piece, FILE* fp)
{
    if (strlen(piece) < config_piece_size - 1 || strchr(piece, '\n') != nullptr)
        return false;
    const int next = getc(fp);
    if (next != EOF)
        (void)ungetc(next, fp);
    return next != EOF && next != '\n';
}

// Reads the rest of a line. Returns true when it was nothing but a
// carriage return before the line feed, so that the piece held it whole.
bool config_line_rest_empty(FILE* fp)
{
    int c = getc(fp);
    const bool carriage_return = c == '\r';
    if (carriage_return)
        c = getc(fp);
    if (carriage_return && (c == '\n' || c == EOF))
        return true;
    while (c != '\n' && c != EOF)
        c = getc(fp);
    return false;
}

// A text value that would be cut is not used at all (a cut command is a
// command nobody wrote); the rest of its line is skipped with it.
bool config_text_whole(const setting_descriptor& row, const char* piece, FILE* fp)
{
    if (!setting_takes_text(row) || !config_piece_cut(piece, fp) || config_line_rest_empty(fp))
        return true;
    printf("%s設定ファイルの値が長すぎるため使用しません（1行255バイトまで）：%s\n", journal_prefix(journal_warning), row.key);
    return false;
}

// Applies one piece of at most 255 bytes as read (line feed included, if
// any); fp is where its line goes on.
line_outcome config_line_apply(char* piece, FILE* fp, std::string* handover)
{
    if (config_line_skipped(piece))
        return line_applied;
    const char* value = nullptr;
    const setting_descriptor* row = setting_key_find(piece, &value);
    if (row != nullptr && !config_text_whole(*row, piece, fp))
        return line_applied;
    config_line_end_cut(piece, row);
    if (row == nullptr) {
        printf("%s設定ファイルエラー：%s\n", journal_prefix(journal_warning), piece);
        return line_applied;
    }
    if (row->hands_over) {
        handover->assign(value);
        return line_handover;
    }
    config_key_apply(*row, value, piece);
    return line_applied;
}

}  // namespace

bool config_stream_apply(FILE* fp, std::string* handover)
{
    char piece[config_piece_size];
    while (fgets(piece, sizeof piece, fp) != nullptr) {
        if (config_line_apply(piece, fp, handover) == line_handover)
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

bool config_chain_add(config_chain& chain, const char* path, const struct stat& st)
{
    for (int i = 0; i < chain.count; i++) {
        if (chain.dev[i] == st.st_dev && chain.ino[i] == st.st_ino) {
            printf("%s設定ファイルの引き継ぎが循環しています：%s\n", journal_prefix(journal_error), path);
            return false;
        }
    }
    if (chain.count == config_chain_limit) {
        printf("%s設定ファイルの引き継ぎが多すぎます：%s\n", journal_prefix(journal_error), path);
        return false;
    }
    chain.dev[chain.count] = st.st_dev;
    chain.ino[chain.count] = st.st_ino;
    chain.count++;
    return true;
}

// Opens the next file of the chain. Returns 1 when opened, -1 when there is
// no such file, config_read_refused when it is unsafe or closes or
// overlengthens the chain.
int config_open(const char* path, config_chain& chain, file_stream* out)
{
    struct stat st;
    switch (config_trusted_open(path, out, &st)) {
    case trust_missing: return -1;
    case trust_refused: return config_read_refused;
    case trust_opened: break;
    }
    if (!config_chain_add(chain, path, st)) {
        out->reset();
        return config_read_refused;
    }
    return 1;
}

}  // namespace

int read_config(const char* path)
{
    config_chain chain{};
    file_stream fp;
    const int opened = config_open(path, chain, &fp);
    if (opened != 1)
        return opened;
    std::string next;
    while (config_stream_apply(fp.get(), &next)) {
        fp.reset();  // the current file is closed before the next is opened
        const int result = config_open(next.c_str(), chain, &fp);
        if (result == -1)
            printf("%s設定ファイルの読み込み失敗:%s\n", journal_prefix(journal_warning), next.c_str());
        if (result != 1)
            return result;
    }
    return 1;
}
