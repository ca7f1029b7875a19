#include "config/config_file.h"

#include <cstring>
#include <memory>
#include <sys/stat.h>

#include "base/journal.h"
#include "base/messages.h"
#include "base/streams.h"
#include "config/config_trust.h"
#include "config/setting_table.h"

namespace {

constexpr int config_piece_size = 256;  // each read takes at most 255 bytes
constexpr int config_chain_limit = 64;  // files one call may read in turn

// One line of the file: its first piece as read (at most 255 bytes, the
// line feed included when it falls inside), and what the rest of the line
// held. The rest is never read as a line of its own.
struct config_line {
    char piece[config_piece_size];
    std::size_t length;
    bool nul;                // a NUL byte anywhere in the line
    bool tail;               // more than a carriage return follows the piece
    bool tail_blank;         // ...and it holds nothing but spaces and that return
    std::string tail_start;  // the first 255 bytes of the rest, for its error line
};

// Reads the rest of a line that did not fit its piece, up to its line feed.
void config_tail_read(FILE* fp, config_line& line)
{
    std::size_t size = 0;
    bool blank = true;
    bool carriage_return = false;  // the last byte read was one
    for (int c = getc(fp); c != EOF && c != '\n'; c = getc(fp), size++) {
        blank = blank && !carriage_return && (c == ' ' || c == '\r');
        carriage_return = c == '\r';
        line.nul = line.nul || c == '\0';
        if (line.tail_start.size() < config_piece_size - 1)
            line.tail_start += static_cast<char>(c);
    }
    // A carriage return alone before the line feed ends the line.
    line.tail = size > (carriage_return ? 1 : 0);
    line.tail_blank = blank;
}

// Reads the next line; false at the end of the file or on a read error.
bool config_line_read(FILE* fp, config_line& line)
{
    line.length = 0;
    line.nul = line.tail = false;
    line.tail_blank = true;
    line.tail_start.clear();
    int c = EOF;
    while (line.length < config_piece_size - 1 && c != '\n' && (c = getc(fp)) != EOF)
        line.piece[line.length++] = static_cast<char>(c);
    line.piece[line.length] = '\0';
    if (line.length == 0)
        return false;
    line.nul = memchr(line.piece, '\0', line.length) != nullptr;
    if (c != '\n' && c != EOF)
        config_tail_read(fp, line);
    return true;
}

// Comment lines hold "//" anywhere.
bool config_line_comment(const char* piece)
{
    return strstr(piece, "//") != nullptr;
}

// Blank lines hold nothing but spaces (a tab does not count as blank).
bool config_line_blank(const char* piece)
{
    while (*piece == ' ')
        piece++;
    return *piece == '\n' || *piece == '\0';
}

void config_bad_value(const char* line)
{
    printf(tr("%s設定ファイルの値に誤りがあります：%s\n"), journal_prefix(journal_warning), line);
}

void config_key_apply(const setting_descriptor& row, const char* value, const char* line)
{
    if (!row.file(row, value)) {
        config_bad_value(line);
        return;
    }
    if (row.warn != nullptr) {
        const std::string key(row.key, strcspn(row.key, "="));
        row.warn(row, key.c_str(), value, true);
    }
}

// What a line led to.
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

// The error line of a line read as none: its text up to the line feed,
// with a NUL byte shown as \x00.
void config_line_error(std::string_view text)
{
    text = text.substr(0, text.find('\n'));
    std::string shown;
    for (const char c : text)
        shown += c == '\0' ? std::string_view("\\x00") : std::string_view(&c, 1);
    printf(tr("%s設定ファイルエラー：%s\n"), journal_prefix(journal_warning), shown.c_str());
}

// The rest of a line after its first piece is no line of its own: unless
// it is blank, it gets the line's one error line.
void config_tail_report(const config_line& line)
{
    if (line.tail && !line.tail_blank)
        config_line_error(line.tail_start);
}

// A text value that would be cut is not used at all (a cut command is a
// command nobody wrote); the rest of its line goes with it.
bool config_text_cut(const setting_descriptor& row, const config_line& line)
{
    if (!setting_takes_text(row) || !line.tail)
        return false;
    printf(tr("%s設定ファイルの値が長すぎるため使用しません（1行255バイトまで）：%s\n"), journal_prefix(journal_warning), row.key);
    return true;
}

// Applies one line by its first piece; nothing after the piece is applied.
line_outcome config_line_apply(config_line& line, std::string* handover)
{
    // A NUL would hide the rest of the line from the search for keys.
    if (line.nul) {
        config_line_error({line.piece, line.length});
        return line_applied;
    }
    if (config_line_comment(line.piece))
        return line_applied;  // the rest belongs to the comment
    if (config_line_blank(line.piece)) {
        config_tail_report(line);
        return line_applied;
    }
    const char* value = nullptr;
    const setting_descriptor* row = setting_key_find(line.piece, &value);
    if (row != nullptr && config_text_cut(*row, line))
        return line_applied;
    config_line_end_cut(line.piece, row);
    if (row == nullptr) {
        config_line_error(line.piece);  // stands for the whole line
        return line_applied;
    }
    if (row->hands_over) {
        handover->assign(value);
        return line_handover;
    }
    config_key_apply(*row, value, line.piece);
    config_tail_report(line);
    return line_applied;
}

}  // namespace

bool config_stream_apply(FILE* fp, std::string* handover)
{
    config_line line;
    while (config_line_read(fp, line)) {
        if (config_line_apply(line, handover) == line_handover)
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
            printf(tr("%s設定ファイルの引き継ぎが循環しています：%s\n"), journal_prefix(journal_error), path);
            return false;
        }
    }
    if (chain.count == config_chain_limit) {
        printf(tr("%s設定ファイルの引き継ぎが多すぎます：%s\n"), journal_prefix(journal_error), path);
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

bool config_scan_value(const char* path, const setting_descriptor& wanted, std::string& found)
{
    found.clear();
    std::string next = path;
    struct stat st;
    for (int files = 0; files < config_chain_limit; files++) {
        file_stream fp;
        if (config_trusted_open(next.c_str(), &fp, &st, true) != trust_opened)
            return files > 0;
        config_line line;
        bool handed_over = false;
        while (!handed_over && config_line_read(fp.get(), line)) {
            const char* value = nullptr;
            const setting_descriptor* row =
                line.nul || config_line_comment(line.piece) ? nullptr : setting_key_find(line.piece, &value);
            if (row == nullptr || (line.tail && setting_takes_text(*row)))
                continue;
            config_line_end_cut(line.piece, row);
            if (row == &wanted)
                found = value;
            handed_over = row->hands_over;
            if (handed_over)
                next = value;
        }
        if (!handed_over)
            return true;
    }
    return true;  // a chain too long: its reading refuses it
}

bool config_language_scan(const char* path, std::string& language)
{
    if (!config_scan_value(path, setting_language_row(), language))
        return false;
    const std::size_t first = language.find_first_not_of(" \t\r");
    language = first == std::string::npos ? "" : language.substr(first, language.find_last_not_of(" \t\r") + 1 - first);
    return true;
}

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
            printf(tr("%s設定ファイルの読み込み失敗:%s\n"), journal_prefix(journal_warning), next.c_str());
        if (result != 1)
            return result;
    }
    return 1;
}
