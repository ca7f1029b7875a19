// lullwatcher --status on a live, a stale and a missing status file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "report/report.h"
#include "report/status_command.h"
#include "report/status_file.h"
#include "support/test_support.h"

namespace {

// Started 2026-12-08 12:00 UTC, busy at 12:03, last checked at 12:10.
const char* const status_text =
    "pid=4242\nversion=1.0.0\nstarted=1796731200\nstate=watching\nnetwork_source=command\n"
    "disk_source=kernel\nidle_seconds=420\nexpiry_seconds=600\nseconds_left=180\nchecks=8\n"
    "last_check=1796731800\nlast_verdict=idle\nlast_busy=1796731380\n"
    "busy_reasons=input:event3 net:eth0:rx:3565158 disk:sd\\x20b:write:5000 user:alice\nexpiries=0\n"
    "action=sync; sync; sync; shutdown -h now\ncheck_interval=60\nrx_threshold=1048576\n"
    "tx_threshold=0\nread_threshold=1024\nwrite_threshold=2048\n";

const char* const rest_of_output =
    "開始：2026-12-08 12:00:00\n"
    "アイドル時間：7 分 / 満了時間 10 分（残り 3 分 00 秒）\n"
    "最終判定：2026-12-08 12:10:00（アイドル、8 回目）\n"
    "最後の継続判定：2026-12-08 12:03:00\n"
    "\t入力デバイス event3\n"
    "\teth0 受信 3.4 MB（閾値 1.0 MB）\n"
    "\tsd b 書き込み 4.9 MB（閾値 2.0 MB）\n"
    "\tuser:alice\n"
    "満了回数：0\n"
    "満了時の動作：sync; sync; sync; shutdown -h now\n";

class StatusCommand : public ::testing::Test {
protected:
    temp_dir dir;
    void SetUp() override
    {
        reset_program_state();
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override
    {
        unsetenv("TZ");
        tzset();
        reset_program_state();
    }
};

}  // namespace

TEST_F(StatusCommand, ExitStatusFollowsTheProcess)
{
    struct row {
        const char* name;
        const char* exe;   // link target of <proc>/4242/exe, empty: none
        const char* comm;  // content of <proc>/4242/comm, empty: none
        const char* file;  // status file content, nullptr: no file
        int status;
        std::string output;
    };
    const std::string long_line = "pid=4242\nbusy_reasons=" + std::string(4082, 'A') + "pid=1\n";
    const std::string too_large = "pid=4242\n" + std::string(64 * 1024, 'x');
    const row rows[] = {
        {"running", "/usr/sbin/lullwatcher", "", status_text, 0, std::string("状態：監視中（pid 4242）\n") + rest_of_output},
        {"upgraded binary", "/usr/sbin/lullwatcher (deleted)", "", status_text, 0, ""},
        {"exe hidden, name matches", "", "lullwatcher\n", status_text, 0, ""},
        {"pid reused", "/usr/bin/sleep", "lullwatcher\n", status_text, 3,
         std::string("状態：停止（pid 4242 は動作していません）\n") + rest_of_output},
        {"pid gone", "", "", status_text, 3, ""},
        {"no file", "", "", nullptr, 4, "状態ファイルを読み込めません：" + dir.path + "/status（No such file or directory）\n"},
        {"no pid", "", "", "state=watching\n", 4, "状態ファイルを読み込めません：" + dir.path + "/status（pid がありません）\n"},
        {"long line, no second pid", "/usr/sbin/lullwatcher", "", long_line.c_str(), 0, ""},
        {"over 64 KB", "", "", too_large.c_str(), 4, "状態ファイルを読み込めません：" + dir.path + "/status（64 KB を超えています）\n"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        temp_dir proc;
        report_proc_path = proc.path.c_str();
        mkdir((proc.path + "/4242").c_str(), 0755);
        if (*r.exe != '\0') {
            ASSERT_EQ(symlink(r.exe, (proc.path + "/4242/exe").c_str()), 0);
        }
        if (*r.comm != '\0')
            proc.write("4242/comm", r.comm);
        unlink((dir.path + "/status").c_str());
        if (r.file != nullptr)
            dir.write("status", r.file);
        int status = -1;
        const std::string out = capture_stdout([&] { status = status_command((dir.path + "/status").c_str()); });
        EXPECT_EQ(status, r.status);
        if (!r.output.empty()) {
            EXPECT_EQ(out, r.output);
        }
    }
}

// A value of 4 KB with "=", a newline and a C1 control reads back as
// written and prints escaped; busy_reasons keeps within 4 KB, leaving out
// whole tokens and saying so with "…".
TEST_F(StatusCommand, ValuesReadBackAsWritten)
{
    temp_dir proc;
    report_proc_path = proc.path.c_str();
    mkdir((proc.path + "/4242").c_str(), 0755);
    ASSERT_EQ(symlink("/usr/sbin/lullwatcher", (proc.path + "/4242/exe").c_str()), 0);
    const std::string who = std::string(4000, 'A') + "pid=1 \\x41";
    status_record record{};
    record.pid = 4242, record.last_verdict = "busy";
    record.busy_reasons = {{"inhibitor", who + "\n\xc2\x85"}, {"user", std::string(100, 'u')}, {"user", "bob"}};
    const std::string text = status_format(record);
    const std::size_t at = text.find("busy_reasons=");
    EXPECT_LE(text.find('\n', at) - at, sizeof "busy_reasons=" - 1 + status_reasons_max);
    dir.write("status", text);
    int status = -1;
    const std::string out = capture_stdout([&] { status = status_command((dir.path + "/status").c_str()); });
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("\tinhibitor:" + who + "\\x0a\\xc2\\x85\n\tuser:bob\n\t…\n"), std::string::npos) << out;
}

// The real process table: this test program is not lullwatcher.
TEST_F(StatusCommand, RealProcessTable)
{
    EXPECT_FALSE(process_is_lullwatcher(getpid()));
}
