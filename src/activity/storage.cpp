#include "activity/storage.h"

#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "activity/source_report.h"
#include "base/child.h"
#include "base/messages.h"
#include "base/settings.h"
#include "base/text_escape.h"

const char* storage_sys_root = storage_sys_root_default;
const char* storage_mounts_path = storage_mounts_path_default;
int storage_deadline_ms = storage_deadline_ms_default;

source_health storage_health;

namespace {

constexpr const char* storage_busy_text = tr_later("(ストレージ処理中)");

}  // namespace

storage_reading storage_read(const std::vector<std::string>& disks)
{
    storage_reading reading;
    storage_read_md(reading);
    storage_read_zfs(reading);
    if (!reading.stopped)
        storage_read_btrfs(reading);
    if (!reading.stopped)
        storage_read_smart(disks, reading);
    return reading;
}

void storage_check(activity_check& check, const std::vector<std::string>& disks)
{
    if (settings.storage_jobs == 0)
        return;
    const storage_reading reading = storage_read(disks);
    if (reading.stopped)
        return;  // the check is abandoned: nothing to say
    source_findings found;
    for (const storage_job& job : reading.jobs)
        findings_add(found, job.name, job.job);
    // The jobs that were read stay reasons beside a failure of another kind.
    if (!reading.answered)
        findings_report(check, found, tr(storage_busy_text), "storage");
    const std::string what =
        reading.answered ? tr("ストレージ処理") : text_format(tr("ストレージ処理（%s）"), text_escape(reading.failure).c_str());
    source_report(check, storage_health, reading.answered, found, what.c_str(), tr(storage_busy_text), "storage");
}

void storage_describe(const std::vector<std::string>& disks)
{
    if (settings.storage_jobs == 0)
        return;
    if (!disks.empty() && !storage_tool_present("smartctl"))
        printf(tr("// SMART 自己診断：smartctl が無いため確認しません\n"));
    const storage_reading reading = storage_read(disks);
    const struct {
        const std::vector<std::string>& disks;
        const char* why;
    } lists[] = {
        {reading.unidentified, tr("smartctl が識別できないため確認しません")},
        {reading.asleep, tr("スタンバイ中のため確認しません（起こしません）")},
        {reading.blind, tr("この smartctl では自己診断の状態を表示できません（NVMe は 7.4 以降）")},
    };
    for (const auto& list : lists) {
        for (const std::string& disk : list.disks)
            printf(tr("// SMART %s：%s\n"), text_escape(disk, "\\ ").c_str(), list.why);
    }
    if (!reading.answered)
        printf(tr("// ストレージ処理：確認できません（%s）\n"), text_escape(reading.failure).c_str());
}

void storage_reset()
{
    storage_sys_root = storage_sys_root_default;
    storage_mounts_path = storage_mounts_path_default;
    storage_deadline_ms = storage_deadline_ms_default;
    storage_health = {};
}

void storage_fail(storage_reading& reading, const std::string& what)
{
    if (!reading.failure.empty())
        reading.failure += "; ";
    reading.failure += what;
    reading.answered = false;
}

bool storage_tool_present(const char* name)
{
    const char* path = getenv("PATH");
    // Without PATH the child runner (posix_spawnp) searches the C library's
    // default.
    std::string_view dirs = path != nullptr ? path : "/bin:/usr/bin";
    for (;;) {
        const std::size_t colon = dirs.find(':');
        const std::string_view dir = dirs.substr(0, colon);
        const std::string file = (dir.empty() ? std::string(".") : std::string(dir)) + "/" + name;
        struct stat st {};
        if (stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(file.c_str(), X_OK) == 0)
            return true;
        if (colon == std::string_view::npos)
            return false;
        dirs.remove_prefix(colon + 1);
    }
}

bool storage_tool_run(const std::vector<std::string>& argv, const std::string& label, std::string& output,
                      int& status, storage_reading& reading)
{
    std::vector<const char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv)
        args.push_back(arg.c_str());
    args.push_back(nullptr);
    static const char* const c_locale[] = {"LC_ALL=C", nullptr};
    child_spec job;
    job.argv = args.data();
    job.env_set = c_locale;
    job.deadline_ms = storage_deadline_ms;
    job.output_cap = storage_output_cap;
    const child_outcome outcome = child_run(job, &output);
    const char* const name = label.c_str();
    switch (outcome.result) {
    case child_done:
        break;
    case child_stopped:
        reading.stopped = true;
        return false;
    case child_timed_out:
        storage_fail(reading, text_format(tr("%s（%d秒以内に終わりません）"), name, (storage_deadline_ms + 999) / 1000));
        return false;
    case child_too_much:
        storage_fail(reading, text_format(tr("%s（出力が大きすぎます）"), name));
        return false;
    case child_not_started:
        storage_fail(reading, text_format(tr("%s（起動できません）"), name));
        return false;
    }
    if (!WIFEXITED(outcome.status)) {
        const int signo = WIFSIGNALED(outcome.status) ? WTERMSIG(outcome.status) : 0;
        storage_fail(reading, text_format(tr("%s（シグナル %d で終了）"), name, signo));
        return false;
    }
    status = WEXITSTATUS(outcome.status);
    return true;
}

std::string_view storage_next_line(std::string_view& text)
{
    const std::size_t newline = text.find('\n');
    const std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    return line;
}

std::string_view storage_trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

bool storage_file_read(const std::string& path, std::string& text)
{
    FILE* f = fopen(path.c_str(), "re");
    if (f == nullptr)
        return false;
    char buffer[4096];
    const std::size_t n = fread(buffer, 1, sizeof buffer, f);
    const bool failed = ferror(f) != 0;
    (void)fclose(f);
    text.assign(buffer, n);
    return !failed;
}
