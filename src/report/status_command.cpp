#include "report/status_command.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <string_view>
#include <unistd.h>

#include "base/messages.h"
#include "base/streams.h"
#include "base/text_escape.h"
#include "base/text_scan.h"
#include "report/report.h"
#include "report/status_file.h"

namespace {

// The values as written, escaped; text_of gives them back as they were.
using status_values = std::map<std::string, std::string>;

// One busy reason token, as read from the file, split into its parts. kind
// is the text before the first ':'; for "net" and "disk" tokens name,
// direction and amount are filled from the right (a name may hold ':'), for
// others detail is the rest.
struct reason_parts {
    std::string_view kind;
    std::string_view name;
    std::string_view direction;
    uint64_t amount = 0;
    std::string_view detail;
    bool counted = false;  // a net or disk token with its amount in bytes
};
reason_parts split_reason(std::string_view token)
{
    reason_parts parts;
    const std::size_t colon = token.find(':');
    parts.kind = token.substr(0, colon);
    parts.detail = colon == std::string_view::npos ? std::string_view() : token.substr(colon + 1);
    if (parts.kind != "net" && parts.kind != "disk")
        return parts;
    const std::size_t amount_at = parts.detail.rfind(':');
    if (amount_at == std::string_view::npos || amount_at == 0)
        return parts;
    const std::size_t direction_at = parts.detail.rfind(':', amount_at - 1);
    if (direction_at == std::string_view::npos)
        return parts;
    uint64_t amount = 0;
    if (!whole_decimal(parts.detail.substr(amount_at + 1), amount))
        return parts;
    parts.name = parts.detail.substr(0, direction_at);
    parts.direction = parts.detail.substr(direction_at + 1, amount_at - direction_at - 1);
    // Disk amounts are kilobytes.
    parts.amount = parts.kind == "net" ? amount : (amount > UINT64_MAX / 1024 ? UINT64_MAX : amount * 1024);
    parts.counted = true;
    return parts;
}

// A status file is a few kilobytes; anything much larger is not one.
constexpr std::size_t status_file_max = std::size_t{64} * 1024;
constexpr int status_too_large = -1;

// Reads the key=value lines of path, whole however long. Returns 0, the
// errno of the failure, or status_too_large for a file over
// status_file_max bytes (of which no more is read).
int read_status(const char* path, status_values& values)
{
    file_stream in(fopen(path, "re"));
    if (!in)
        return errno;
    std::string text(status_file_max + 1, '\0');
    const std::size_t size = fread(text.data(), 1, text.size(), in.get());
    if (ferror(in.get()))
        return errno != 0 ? errno : EIO;
    if (size > status_file_max)
        return status_too_large;
    text.resize(size);
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line(text.data() + start, end - start);
        const std::size_t eq = line.find('=');
        if (eq != std::string_view::npos)
            values[std::string(line.substr(0, eq))] = line.substr(eq + 1);
        start = end + 1;
    }
    return 0;
}

uint64_t number_of(const status_values& values, const char* key)
{
    const auto it = values.find(key);
    uint64_t value = 0;
    return it != values.end() && whole_decimal(it->second, value) ? value : 0;
}

std::string text_of(const status_values& values, const char* key)
{
    const auto it = values.find(key);
    return it == values.end() ? std::string() : text_unescape(it->second);
}

// A Unix time as local date and time; "なし" for 0.
std::string time_text(uint64_t seconds)
{
    if (seconds == 0)
        return tr("なし");
    const time_t at = static_cast<time_t>(seconds);
    struct tm local;
    char text[32];
    if (localtime_r(&at, &local) == nullptr || strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local) == 0)
        return std::to_string(seconds);
    return text;
}

// One reason for a person, with the threshold that its amount passed.
std::string reason_text(const std::string& token, const status_values& values)
{
    const reason_parts parts = split_reason(token);
    if (parts.kind == "input")
        return text_format(tr("入力デバイス %s"), std::string(parts.detail).c_str());
    if (!parts.counted)
        return token;
    static const struct { const char* direction; const char* label; const char* key; bool kilobytes; } rows[] = {
        {"rx", tr_later("受信"), "rx_threshold", false},
        {"tx", tr_later("送信"), "tx_threshold", false},
        {"read", tr_later("読み込み"), "read_threshold", true},
        {"write", tr_later("書き込み"), "write_threshold", true},
    };
    for (const auto& row : rows) {
        if (parts.direction != row.direction)
            continue;
        uint64_t threshold = number_of(values, row.key);
        if (row.kilobytes)
            threshold = threshold > UINT64_MAX / 1024 ? UINT64_MAX : threshold * 1024;
        return text_format(tr("%s %s %s（閾値 %s）"), std::string(parts.name).c_str(), tr(row.label),
                           format_amount(parts.amount).c_str(), format_amount(threshold).c_str());
    }
    return token;
}

void print_state(const status_values& values, long pid, bool running)
{
    if (!running)
        printf(tr("状態：停止（pid %ld は動作していません）\n"), pid);
    else if (text_of(values, "state") == "ended")
        printf(tr("状態：終了中（pid %ld）\n"), pid);
    else
        printf(tr("状態：監視中（pid %ld）\n"), pid);
    printf(tr("開始：%s\n"), time_text(number_of(values, "started")).c_str());
    const uint64_t idle = number_of(values, "idle_seconds");
    const uint64_t expiry = number_of(values, "expiry_seconds");
    const uint64_t left = number_of(values, "seconds_left");
    printf(tr("アイドル時間：%llu 分 / 満了時間 %llu 分（残り %llu 分 %02llu 秒）\n"),
           static_cast<unsigned long long>(idle / 60), static_cast<unsigned long long>(expiry / 60),
           static_cast<unsigned long long>(left / 60), static_cast<unsigned long long>(left % 60));
}

void print_checks(const status_values& values)
{
    const std::string verdict = text_of(values, "last_verdict");
    const char* verdict_text = verdict == "busy" ? tr("継続") : verdict == "idle" ? tr("アイドル") : tr("未判定");
    printf(tr("最終判定：%s（%s、%llu 回目）\n"), time_text(number_of(values, "last_check")).c_str(), verdict_text,
           static_cast<unsigned long long>(number_of(values, "checks")));
    printf(tr("最後の継続判定：%s\n"), time_text(number_of(values, "last_busy")).c_str());
    // Split before the escapes are undone: a token may hold spaces.
    const auto reasons = values.find("busy_reasons");
    const std::string_view list = reasons == values.end() ? std::string_view() : std::string_view(reasons->second);
    std::size_t pos = 0;
    for (std::string_view token = next_token(list, pos); !token.empty(); token = next_token(list, pos))
        printf("\t%s\n", text_escape(reason_text(text_unescape(token), values)).c_str());
    printf(tr("満了回数：%llu\n"), static_cast<unsigned long long>(number_of(values, "expiries")));
    printf(tr("満了時の動作：%s\n"), text_escape(text_of(values, "action")).c_str());
    if (values.count("next_alarm") == 0)
        return;  // written only while a wake-up setting is on
    const uint64_t alarm = number_of(values, "next_alarm");
    const std::string source = text_escape(text_unescape(text_of(values, "next_alarm_source")));
    if (alarm == 0)
        printf(tr("次の起動予約：%s\n"), time_text(alarm).c_str());
    else
        printf(tr("次の起動予約：%s（%s）\n"), time_text(alarm).c_str(), source.c_str());
}

// The last part of a path, without the " (deleted)" that the kernel adds
// once the file was replaced (as by an upgrade).
std::string base_name(std::string path)
{
    const std::string deleted = " (deleted)";
    if (path.size() > deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
        path.resize(path.size() - deleted.size());
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool process_is_lullwatcher(long pid)
{
    if (pid <= 0)
        return false;
    const std::string dir = std::string(report_proc_path) + "/" + std::to_string(pid);
    char target[4096];
    const ssize_t n = readlink((dir + "/exe").c_str(), target, sizeof target - 1);
    if (n > 0)
        return base_name(std::string(target, static_cast<std::size_t>(n))) == "lullwatcher";
    // Another user's process: its executable is hidden, its name is not.
    file_stream comm(fopen((dir + "/comm").c_str(), "re"));
    char name[64];
    if (!comm || fgets(name, sizeof name, comm.get()) == nullptr)
        return false;
    return strcmp(name, "lullwatcher\n") == 0;
}

int status_command(const char* path)
{
    status_values values;
    const int error = read_status(path, values);
    if (error == status_too_large) {
        printf(tr("状態ファイルを読み込めません：%s（64 KB を超えています）\n"), path);
        return status_exit_unknown;
    }
    if (error != 0) {
        printf(tr("状態ファイルを読み込めません：%s（%s）\n"), path, strerror(error));
        return status_exit_unknown;
    }
    const uint64_t pid = number_of(values, "pid");
    if (pid == 0 || pid > static_cast<uint64_t>(INT32_MAX)) {
        printf(tr("状態ファイルを読み込めません：%s（pid がありません）\n"), path);
        return status_exit_unknown;
    }
    const bool running = process_is_lullwatcher(static_cast<long>(pid));
    print_state(values, static_cast<long>(pid), running);
    print_checks(values);
    return running ? status_exit_running : status_exit_stale;
}
