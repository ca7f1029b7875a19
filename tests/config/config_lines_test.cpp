// Lines of the configuration file: comments, blanks, keys, values, pieces.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

#include "config/config_file.h"
#include "config/config_helpers.h"

namespace {

struct line_case {
    std::string text;
    std::function<void(settings_record&)> change;  // nullptr: nothing changes
    std::string output;
};

// Applies text as the content of a file; returns what was printed.
std::string apply_text(const std::string& text, std::string* handover, bool* handed_over)
{
    return capture_stdout([&] {
        FILE* fp = open_text(text);
        *handed_over = config_stream_apply(fp, handover);
        fclose(fp);
    });
}

class ConfigLines : public ConfigTest {
protected:
    void expect_cases(const std::vector<line_case>& cases)
    {
        for (const line_case& c : cases) {
            restart();
            std::string handover;
            bool handed_over = false;
            EXPECT_EQ(apply_text(c.text, &handover, &handed_over), c.output) << c.text;
            EXPECT_FALSE(handed_over) << c.text;
            expect_settings(settings_with(c.change), c.text);
        }
    }
};

TEST_F(ConfigLines, CommentsAndBlankLinesChangeNothing)
{
    expect_cases({
        {"", nullptr, ""},
        {"// idle watch settings\n\n   \n  // indented\n", nullptr, ""},
        {"EXFIRE_TIME=30 // a remark\n", nullptr, ""},
        {"COMMAND=wget http://example.org/off\n", nullptr, ""},
        {"   ", nullptr, ""},
    });
}

TEST_F(ConfigLines, LinesWithoutAKeyAreReportedAsRead)
{
    expect_cases({
        {"\t\t\n", nullptr, "設定ファイルエラー：\t\t\n"},
        {"rx_threshold=5\n", nullptr, "設定ファイルエラー：rx_threshold=5\n"},
        {"# a remark\n", nullptr, "設定ファイルエラー：# a remark\n"},
        {"  EXFIRE_TIME 5\n", nullptr, "設定ファイルエラー：  EXFIRE_TIME 5\n"},
        {"\r\n", nullptr, "設定ファイルエラー：\r\n"},
        {"not_roop", nullptr, "設定ファイルエラー：not_roop\n"},
    });
}

TEST_F(ConfigLines, KeysAreFoundAnywhereAndTheFirstInTableOrderWins)
{
    expect_cases({
        {"# EXFIRE_TIME=5\n", [](settings_record& s) { s.exfire_time = 300; }, ""},
        {"\tDISP_LEVEL=2\n", [](settings_record& s) { s.disp_level = 2; }, ""},
        {"   CHECK_INTERVAL=30\n", [](settings_record& s) { s.check_interval = 30; }, ""},
        {"say NOT_ROOP=0 please\n", [](settings_record& s) { s.watch_roop = -1; }, ""},
        {"DISP_LEVEL=3 EXFIRE_TIME=2\n", [](settings_record& s) { s.exfire_time = 120; }, ""},
        {"EVENT=event3 RX_THRESHOLD=5\n", [](settings_record& s) { s.rx_threshold = 5; }, ""},
        {"COMMAND=echo RX_THRESHOLD=5\n", [](settings_record& s) { strcpy(s.command, "echo RX_THRESHOLD=5"); },
         "コマンド設定：echo RX_THRESHOLD=5\n"},
        // An empty command ends the line: the later key is not looked at.
        {"RX_THRESHOLD=5 COMMAND=\n", nullptr, ""},
        {"EXFIRE_TIME=2\nEXFIRE_TIME=0\nEXFIRE_TIME=4\nEXFIRE_TIME=-1\n",
         [](settings_record& s) { s.exfire_time = 240; }, "警告：EXFIRE_TIME の値「0」は 0 より大きい整数ではないため無視します。\n" "警告：EXFIRE_TIME の値「-1」は 0 より大きい整数ではないため無視します。\n"},
    });
}

TEST_F(ConfigLines, ThresholdsAndTheirUnits)
{
    expect_cases({
        {"RX_THRESHOLD=7\n", [](settings_record& s) { s.rx_threshold = 7; }, ""},
        {"RX_THRESHOLD_KB=2\n", [](settings_record& s) { s.rx_threshold = 2048; }, ""},
        {"RX_THRESHOLD_MB=1\n", [](settings_record& s) { s.rx_threshold = 1048576; }, ""},
        {"TX_THRESHOLD=9\n", [](settings_record& s) { s.tx_threshold = 9; }, ""},
        {"TX_THRESHOLD_KB=3\n", [](settings_record& s) { s.tx_threshold = 3072; }, ""},
        {"TX_THRESHOLD_MB=2\n", [](settings_record& s) { s.tx_threshold = 2097152; }, ""},
        {"READ_THRESHOLD=5\n", [](settings_record& s) { s.read_threshold = 5; }, ""},
        {"READ_THRESHOLD_MB=2\n", [](settings_record& s) { s.read_threshold = 2048; }, ""},
        {"WRITE_THRESHOLD=1024\n", [](settings_record& s) { s.write_threshold = 1024; }, ""},
        {"WRITE_THRESHOLD_MB=3\n", [](settings_record& s) { s.write_threshold = 3072; }, ""},
        {"RX_THRESHOLD=abc\n", [](settings_record& s) { s.rx_threshold = 0; },
         "警告：RX_THRESHOLD の値「abc」は数値ではありません。0（未監視）とみなします。\n"},
        {"RX_THRESHOLD=12abc\n", [](settings_record& s) { s.rx_threshold = 12; },
         "警告：RX_THRESHOLD の値「12abc」は数値ではありません。12 とみなします。\n"},
        {"RX_THRESHOLD= +7\r\n", [](settings_record& s) { s.rx_threshold = 7; }, ""},
        {"RX_THRESHOLD=-1\n", [](settings_record& s) { s.rx_threshold = UINT64_MAX; },
         "警告：RX_THRESHOLD の値「-1」は数値ではありません。18446744073709551615 とみなします。\n"},
        {"TX_THRESHOLD=99999999999999999999999\n", [](settings_record& s) { s.tx_threshold = UINT64_MAX; },
         "警告：TX_THRESHOLD の値「99999999999999999999999」は数値ではありません。18446744073709551615 とみなします。\n"},
        // Beyond 64 bits after the unit factor: the largest value, as on the
        // command line, never a wrap (to 0 this one would stop the watching).
        {"RX_THRESHOLD_MB=17592186044416\n", [](settings_record& s) { s.rx_threshold = UINT64_MAX; }, ""},
        {"RX_THRESHOLD_MB=17592186044415\n", [](settings_record& s) { s.rx_threshold = UINT64_MAX << 20; }, ""},
        {"RX_THRESHOLD_KB=-1\n", [](settings_record& s) { s.rx_threshold = UINT64_MAX; },
         "警告：RX_THRESHOLD_KB の値「-1」は数値ではありません。18446744073709551615 とみなします。\n"},
        {"WRITE_THRESHOLD_MB=18014398509481984\n", [](settings_record& s) { s.write_threshold = UINT64_MAX; }, ""},
    });
}

TEST_F(ConfigLines, TimesAreTakenOnlyWhenPositiveAndNeverOverflow)
{
    expect_cases({
        {"EXFIRE_TIME=1\n", [](settings_record& s) { s.exfire_time = 60; }, ""},
        {"EXFIRE_TIME=0\nEXFIRE_TIME=-3\nEXFIRE_TIME=abc\n", nullptr,
         "警告：EXFIRE_TIME の値「0」は 0 より大きい整数ではないため無視します。\n" "警告：EXFIRE_TIME の値「-3」は 0 より大きい整数ではないため無視します。\n" "警告：EXFIRE_TIME の値「abc」は 0 より大きい整数ではないため無視します。\n"},
        {"CHECK_INTERVAL=0\nDISP_INTERVAL=-5\nDISP_INTERVAL=x\n", nullptr,
         "警告：CHECK_INTERVAL の値「0」は 0 より大きい整数ではないため無視します。\n" "警告：DISP_INTERVAL の値「-5」は 0 より大きい整数ではないため無視します。\n" "警告：DISP_INTERVAL の値「x」は 0 より大きい整数ではないため無視します。\n"},
        {"DISP_INTERVAL=5\r\n", [](settings_record& s) { s.disp_interval = 5; }, ""},
        {"DISP_LEVEL=0\n", [](settings_record& s) { s.disp_level = 0; }, ""},
        {"DISP_LEVEL=-1\n", [](settings_record& s) { s.disp_level = -1; }, ""},
        {"DISP_LEVEL=abc\n", [](settings_record& s) { s.disp_level = 0; }, "警告：DISP_LEVEL の値「abc」は数値ではありません。0 とみなします。\n"},
        {"EXFIRE_TIME=35791394\n", [](settings_record& s) { s.exfire_time = 2147483640; }, ""},
        {"EXFIRE_TIME=35791395\n", [](settings_record& s) { s.exfire_time = 2147483640; }, ""},
        {"EXFIRE_TIME=99999999999999\n", [](settings_record& s) { s.exfire_time = 2147483640; }, ""},
        {"CHECK_INTERVAL=4294967297\n", [](settings_record& s) { s.check_interval = INT32_MAX; }, ""},
        {"DISP_INTERVAL=-4294967295\n", nullptr, "警告：DISP_INTERVAL の値「-4294967295」は 0 より大きい整数ではないため無視します。\n"},
        {"DISP_LEVEL=-99999999999\n", [](settings_record& s) { s.disp_level = INT32_MIN; }, ""},
    });
}

TEST_F(ConfigLines, CommandValues)
{
    expect_cases({
        {"COMMAND=poweroff now\n", [](settings_record& s) { strcpy(s.command, "poweroff now"); },
         "コマンド設定：poweroff now\n"},
        // CR LF line ends: the carriage return before the line feed only.
        {"COMMAND=shutdown -h now\r\n", [](settings_record& s) { strcpy(s.command, "shutdown -h now"); },
         "コマンド設定：shutdown -h now\n"},
        {"COMMAND=a\rb\r\n", [](settings_record& s) { strcpy(s.command, "a\rb"); }, "コマンド設定：a\rb\n"},
        {"COMMAND=x\r", [](settings_record& s) { strcpy(s.command, "x\r"); }, "コマンド設定：x\r\n"},
        {"COMMAND=\n", nullptr, ""},
        {"COMMAND=a\nCOMMAND=\n", [](settings_record& s) { strcpy(s.command, "a"); }, "コマンド設定：a\n"},
    });
}

TEST_F(ConfigLines, CounterSourceAndDiskPrefixes)
{
    expect_cases({
        {"COUNTER_SOURCE=kernel\n", [](settings_record& s) { s.counter_source = counter_source_kernel; }, ""},
        {"COUNTER_SOURCE=kernel\nCOUNTER_SOURCE= command \r\n", nullptr, ""},
        {"\tCOUNTER_SOURCE=kernel\r\n", [](settings_record& s) { s.counter_source = counter_source_kernel; }, ""},
        {"COUNTER_SOURCE=Kernel\n", nullptr, "設定ファイルの値に誤りがあります：COUNTER_SOURCE=Kernel\n"},
        {"COUNTER_SOURCE=\n", nullptr, "設定ファイルの値に誤りがあります：COUNTER_SOURCE=\n"},
        {"DISK_PREFIXES=sd,nvme,vd,mmcblk,md\n",
         [](settings_record& s) { strcpy(s.disk_prefixes, "sd,nvme,vd,mmcblk,md"); }, ""},
        {"DISK_PREFIXES=xvd_1-a\r\n", [](settings_record& s) { strcpy(s.disk_prefixes, "xvd_1-a"); }, ""},
        {"DISK_PREFIXES=sd,,nvme\n", nullptr, "設定ファイルの値に誤りがあります：DISK_PREFIXES=sd,,nvme\n"},
        {"DISK_PREFIXES=sd,\n", nullptr, "設定ファイルの値に誤りがあります：DISK_PREFIXES=sd,\n"},
        {"DISK_PREFIXES=sd nvme\n", nullptr, "設定ファイルの値に誤りがあります：DISK_PREFIXES=sd nvme\n"},
        {"DISK_PREFIXES=sd;reboot\n", nullptr, "設定ファイルの値に誤りがあります：DISK_PREFIXES=sd;reboot\n"},
        // The older keys keep their meaning next to the new ones.
        {"RX_THRESHOLD=5 COUNTER_SOURCE=kernel\n", [](settings_record& s) { s.rx_threshold = 5; },
         "警告：RX_THRESHOLD の値「5 COUNTER_SOURCE=kernel」は数値ではありません。5 とみなします。\n"},
        {"DISK_PREFIXES=nvme NOT_ROOP\n", [](settings_record& s) { s.watch_roop = -1; }, ""},
        {"counter_source=kernel\n", nullptr, "設定ファイルエラー：counter_source=kernel\n"},
    });
}

TEST_F(ConfigLines, NoticeAndDryRun)
{
    expect_cases({
        {"NOTICE_TIME=5\n", [](settings_record& s) { s.notice_time = 300; }, ""},
        {"NOTICE_TIME=0\n", nullptr, ""},
        {"NOTICE_TIME=5\nNOTICE_TIME=0\n", nullptr, ""},  // 0 switches the notice off again
        {"NOTICE_RUN=wall \"soon\"\r\n", [](settings_record& s) { strcpy(s.notice_run, "wall \"soon\""); }, ""},
        {"NOTICE_RUN=a\nNOTICE_RUN=\n", [](settings_record& s) { strcpy(s.notice_run, "a"); }, ""},
        {"DRY_RUN=on\r\n", [](settings_record& s) { s.dry_run = 1; }, ""},
        {"DRY_RUN=on\nDRY_RUN= off\n", nullptr, ""},
        {"DRY_RUN=yes\n", nullptr, "設定ファイルの値に誤りがあります：DRY_RUN=yes\n"},
        // Calibration is an option only.
        {"CALIBRATE=5\n", nullptr, "設定ファイルエラー：CALIBRATE=5\n"},
    });
}

TEST_F(ConfigLines, ActivitySources)
{
    const auto bad = [](const std::string& line) { return "設定ファイルの値に誤りがあります：" + line + "\n"; };
    expect_cases({
        {"USER_SESSIONS=active\r\n", [](settings_record& s) { s.user_sessions = user_sessions_active; }, ""},
        {"USER_SESSIONS=all\n", nullptr, bad("USER_SESSIONS=all")},
        {"INHIBITORS= on \n", [](settings_record& s) { s.inhibitors = 1; }, ""},
        {"INHIBITORS=1\n", nullptr, bad("INHIBITORS=1")},
        {"BUSY_PROCESSES=rsync,borg,apt*\r\n", [](settings_record& s) { strcpy(s.busy_processes, "rsync,borg,apt*"); },
         ""},
        {"BUSY_PROCESSES=rsync\nBUSY_PROCESSES=\n", nullptr, ""},
        {"BUSY_PROCESSES=a\tb,\n", nullptr, bad("BUSY_PROCESSES=a\tb,")},
        {"CPU_THRESHOLD=30\r\n", [](settings_record& s) { s.cpu_threshold = 30; }, ""},
        {"CPU_THRESHOLD=99999999999\n", nullptr, bad("CPU_THRESHOLD=99999999999")},
        {"BUSY_PORTS=22,445,2049\n", [](settings_record& s) { strcpy(s.busy_ports, "22,445,2049"); }, ""},
        {"BUSY_PORTS=22;445\n", nullptr, bad("BUSY_PORTS=22;445")},
        {"BUSY_CHECK=pgrep -x 'rsync' >/dev/null\r\n",
         [](settings_record& s) { strcpy(s.busy_check, "pgrep -x 'rsync' >/dev/null"); }, ""},
        {"IGNORE_INTERFACES=lo,veth*,docker*,br-*\n",
         [](settings_record& s) { strcpy(s.ignore_interfaces, "lo,veth*,docker*,br-*"); }, ""},
        {"AWAKE_HOURS= Sat 10:00-14:00 \r\n", [](settings_record& s) { strcpy(s.awake_hours, "Sat 10:00-14:00"); }, ""},
        {"SHARE_CLIENTS= nfs, smb\r\n", [](settings_record& s) { s.share_clients = 3; }, ""},
        {"SHARE_CLIENTS=smb,,nfs\n", nullptr, bad("SHARE_CLIENTS=smb,,nfs")},
        {"PING_HOSTS=tv,,pc\n", nullptr, bad("PING_HOSTS=tv,,pc")},
        // Earlier keys win within a line, as for every key.
        {"BUSY_CHECK=grep -q x /etc/COMMAND=y\n", [](settings_record& s) { strcpy(s.command, "y"); },
         "コマンド設定：y\n"},
        {"EXFIRE_TIME=3 CPU_THRESHOLD=50\n", [](settings_record& s) { s.exfire_time = 180; },
         "警告：EXFIRE_TIME の値「3 CPU_THRESHOLD=50」は数値ではありません。3 とみなします。\n"},
    });
}

TEST_F(ConfigLines, ReportPaths)
{
    expect_cases({
        {"STATUS_PATH=/run/lullwatcher/status\r\n",
         [](settings_record& s) { strcpy(s.status_path, "/run/lullwatcher/status"); }, ""},
        {"METRICS_PATH= /var/lib/node/lw.prom \n", [](settings_record& s) { strcpy(s.metrics_path, "/var/lib/node/lw.prom"); },
         ""},
        {"STATUS_PATH=/run/s\nSTATUS_PATH=off\n", nullptr, ""},
        {"STATUS_PATH=\n", nullptr, "設定ファイルの値に誤りがあります：STATUS_PATH=\n"},
        {"METRICS_PATH=/a//b\n", nullptr, ""},
    });
}

TEST_F(ConfigLines, FileKeyHandsOverWithTheVerbatimPath)
{
    struct handover_case {
        const char* text;
        const char* path;
    };
    const handover_case cases[] = {
        {"FILE=/etc/other.conf\nEXFIRE_TIME=5\n", "/etc/other.conf"},
        {"FILE= spaced name \r\n", " spaced name "},
        {"FILE=\n", ""},
        {"DISK_PREFIXES=sd,FILE=x\n", "x"},
        {"EXFIRE_TIME=2 FILE=y\n", "y"},
    };
    for (const handover_case& c : cases) {
        restart();
        std::string handover;
        bool handed_over = false;
        EXPECT_EQ(apply_text(c.text, &handover, &handed_over), "") << c.text;
        EXPECT_TRUE(handed_over) << c.text;
        EXPECT_EQ(handover, c.path) << c.text;
        expect_settings(settings_with(nullptr), c.text);  // later lines unread
    }
}

// A line is applied by its first 255 bytes; the rest is never a line of
// its own: silent after a comment or when blank, else one error line.
TEST_F(ConfigLines, LongLinesAreOneLine)
{
    const std::string value247(247, 'a'), x255(255, 'x'), nul(1, '\0');
    const auto taken = [&](settings_record& s) { strcpy(s.command, value247.c_str()), s.disp_level = 3; };
    const auto error = [](const std::string& text) { return "設定ファイルエラー：" + text + "\n"; };
    expect_cases({
        {"COMMAND=" + value247 + "\nDISP_LEVEL=3\n", taken, "コマンド設定：" + value247 + "\n"},
        {"COMMAND=" + value247 + "\r\nDISP_LEVEL=3\n", taken, "コマンド設定：" + value247 + "\n"},
        {"EXFIRE_TIME=30" + std::string(300, ' ') + "\r\n", [](settings_record& s) { s.exfire_time = 1800; }, ""},
        {"// " + std::string(260, 'x') + "EXFIRE_TIME=1\n", nullptr, ""},
        {"EXFIRE_TIME=30" + std::string(250, ' ') + "COMMAND=echo TAIL\n",
         [](settings_record& s) { s.exfire_time = 1800; }, error(std::string(9, ' ') + "COMMAND=echo TAIL")},
        {"BUSY_CHECK=true" + nul + std::string(300, 'y') + "EXFIRE_TIME=2\n", nullptr,
         error("BUSY_CHECK=true\\x00" + std::string(239, 'y'))},
        {"EXFIRE_TIME=30" + std::string(250, ' ') + nul + "\n", nullptr, error("EXFIRE_TIME=30" + std::string(241, ' '))},
        {std::string(2 << 20, 'x') + "EXFIRE_TIME=2\nDISP_LEVEL=3\n", [](settings_record& s) { s.disp_level = 3; },
         error(x255)},
    });
}

// A text value longer than a piece would be cut: it is refused with one
// line, the setting stays, and the rest of its line is not read as a line.
TEST_F(ConfigLines, TextValuesThatWouldBeCutAreRefused)
{
    const std::string value300 = std::string(247, 'a') + std::string(53, 'b') + " RX_THRESHOLD=5 FILE=x";
    const auto too_long = [](const std::string& key) {
        return "設定ファイルの値が長すぎるため使用しません（1行255バイトまで）：" + key + "\n";
    };
    expect_cases({
        {"COMMAND=first\nCOMMAND=" + value300 + "\nDISP_LEVEL=3\n",
         [](settings_record& s) { strcpy(s.command, "first"), s.disp_level = 3; },
         "コマンド設定：first\n" + too_long("COMMAND=")},
        {"EVENT=" + value300, nullptr, too_long("EVENT=")},
        {"DEVICE_NAME=" + value300 + "\r\n", nullptr, too_long("DEVICE_NAME=")},
        // A path that does not fit hands over to nothing: reading goes on.
        {"FILE=" + value300 + "\nDISP_LEVEL=3\n", [](settings_record& s) { s.disp_level = 3; }, too_long("FILE=")},
    });
    EXPECT_TRUE(registered_events().empty());
}

TEST_F(ConfigLines, LastLineNeedsNoLineFeed)
{
    expect_cases({
        {"DISP_LEVEL=2\nEXFIRE_TIME=3", [](settings_record& s) {
             s.disp_level = 2;
             s.exfire_time = 180;
         }, ""},
    });
}

}  // namespace
