// The command line: options, values, modes and refusals.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "config/args.h"
#include "config/config_helpers.h"
#include "base/settings.h"
#include "base/version.h"

namespace {

const char refusal_tail[] = "\n起動できませんでした。--helpで確認してください。\n";

std::string refusal(const std::string& arg)
{
    return "対応しないパラメータ：" + arg + refusal_tail;
}

using Args = ConfigTest;

TEST_F(Args, NothingBeyondTheProgramName)
{
    expect_args_cases({{{}, nullptr, 0, ""}});
    int result = 99;
    char* argv[] = {nullptr};
    EXPECT_EQ(capture_stdout([&] { result = arg_anal(0, argv); }), "");
    EXPECT_EQ(result, 0);
}

TEST_F(Args, TimesAndDisplayLevel)
{
    expect_args_cases({
        {{"-ex", "5"}, [](settings_record& s) { s.exfire_time = 300; }, 0, ""},
        {{"--exfire_time", "5"}, [](settings_record& s) { s.exfire_time = 300; }, 0, ""},
        {{"-ex", "1.5"}, [](settings_record& s) { s.exfire_time = 60; }, 0, "警告：-ex の値「1.5」は数値ではありません。1 とみなします。\n"},
        {{"-ex", "0", "-ex", "abc"}, nullptr, 0, "警告：-ex の値「0」は 0 より大きい整数ではないため無視します。\n" "警告：-ex の値「abc」は 0 より大きい整数ではないため無視します。\n"},
        {{"-ex", "-3"}, nullptr, -1, refusal("-3")},
        {{"-ex", "99999999999"}, [](settings_record& s) { s.exfire_time = 2147483640; }, 0, ""},
        {{"-ci", "30"}, [](settings_record& s) { s.check_interval = 30; }, 0, ""},
        {{"--check_interval", "4294967297"}, [](settings_record& s) { s.check_interval = INT32_MAX; }, 0, ""},
        {{"-di", "5"}, [](settings_record& s) { s.disp_interval = 5; }, 0, ""},
        {{"--disp_interval", "0"}, nullptr, 0, "警告：--disp_interval の値「0」は 0 より大きい整数ではないため無視します。\n"},
        {{"-l", "3"}, [](settings_record& s) { s.disp_level = 3; }, 0, ""},
        {{"--disp_level", "2"}, [](settings_record& s) { s.disp_level = 2; }, 0, ""},
        {{"-l", "0"}, nullptr, 0, "警告：-l の値「0」は 0 より大きい整数ではないため無視します。\n"},
        {{"-n"}, [](settings_record& s) { s.watch_roop = -1; }, 0, ""},
        {{"--not_roop"}, [](settings_record& s) { s.watch_roop = -1; }, 0, ""},
    });
}

TEST_F(Args, NetworkThresholdFamilies)
{
    expect_args_cases({
        {{"-rx", "10"}, [](settings_record& s) { s.rx_threshold = 10; }, 0, ""},
        {{"-rxk", "10"}, [](settings_record& s) { s.rx_threshold = 10240; }, 0, ""},
        {{"-rxm", "10"}, [](settings_record& s) { s.rx_threshold = 10485760; }, 0, ""},
        {{"--rx_threshold", "10"}, [](settings_record& s) { s.rx_threshold = 10; }, 0, ""},
        {{"--rx_threshold_kb", "3"}, [](settings_record& s) { s.rx_threshold = 3072; }, 0, ""},
        {{"--rx_threshold_mb", "1"}, [](settings_record& s) { s.rx_threshold = 1048576; }, 0, ""},
        {{"--rx_threhold", "3"}, [](settings_record& s) { s.rx_threshold = 3; }, 0, ""},
        {{"--rx_threhold_kb", "3"}, [](settings_record& s) { s.rx_threshold = 3; }, 0, ""},
        {{"--rx_threhold_mb", "3"}, [](settings_record& s) { s.rx_threshold = 3; }, 0, ""},
        {{"-rx", "abc"}, [](settings_record& s) { s.rx_threshold = 0; }, 0, "警告：-rx の値「abc」は数値ではありません。0（未監視）とみなします。\n"},
        {{"-rx5", "7"}, [](settings_record& s) { s.rx_threshold = 7; }, 0, ""},
        {{"-rxm", "17592186044416"}, [](settings_record& s) { s.rx_threshold = UINT64_MAX; }, 0, ""},
        {{"-tx", "5"}, [](settings_record& s) { s.tx_threshold = 5; }, 0, ""},
        {{"-txk", "1"}, [](settings_record& s) { s.tx_threshold = 1024; }, 0, ""},
        {{"-txm", "2"}, [](settings_record& s) { s.tx_threshold = 2097152; }, 0, ""},
        {{"--tx_threshold", "4"}, [](settings_record& s) { s.tx_threshold = 4; }, 0, ""},
        {{"--tx_threshold_kb", "2"}, [](settings_record& s) { s.tx_threshold = 2048; }, 0, ""},
        {{"--tx_threshold_mb", "1"}, [](settings_record& s) { s.tx_threshold = 1048576; }, 0, ""},
        {{"--tx_threhold", "4"}, [](settings_record& s) { s.tx_threshold = 4; }, 0, ""},
        {{"--tx_threhold_kb", "4"}, [](settings_record& s) { s.tx_threshold = 4; }, 0, ""},
        {{"--tx_threhold_mb", "4"}, [](settings_record& s) { s.tx_threshold = 4; }, 0, ""},
        // The pending factor does not carry over to the next family.
        {{"-rxk", "-tx", "5"}, [](settings_record& s) { s.tx_threshold = 5; }, 0, ""},
    });
}

TEST_F(Args, DiskThresholdFamilies)
{
    expect_args_cases({
        {{"-r", "2"}, [](settings_record& s) { s.read_threshold = 2; }, 0, ""},
        {{"-rm", "2"}, [](settings_record& s) { s.read_threshold = 2048; }, 0, ""},
        {{"--read_threshold", "2"}, [](settings_record& s) { s.read_threshold = 2; }, 0, ""},
        {{"--read_threshold_mb", "2"}, [](settings_record& s) { s.read_threshold = 2048; }, 0, ""},
        {{"--read_threhold", "2"}, [](settings_record& s) { s.read_threshold = 2; }, 0, ""},
        {{"--read_threhold_mb", "2"}, [](settings_record& s) { s.read_threshold = 2; }, 0, ""},
        {{"-w", "5"}, [](settings_record& s) { s.write_threshold = 5; }, 0, ""},
        {{"-wm", "1"}, [](settings_record& s) { s.write_threshold = 1024; }, 0, ""},
        {{"--write_threshold", "6"}, [](settings_record& s) { s.write_threshold = 6; }, 0, ""},
        {{"--write_threshold_mb", "1"}, [](settings_record& s) { s.write_threshold = 1024; }, 0, ""},
        {{"--write_threhold", "6"}, [](settings_record& s) { s.write_threshold = 6; }, 0, ""},
        {{"--write_threhold_mb", "1"}, [](settings_record& s) { s.write_threshold = 1; }, 0, ""},
        {{"-r", "x"}, [](settings_record& s) { s.read_threshold = 0; }, 0, "警告：-r の値「x」は数値ではありません。0（未監視）とみなします。\n"},
    });
}

TEST_F(Args, CommandValues)
{
    const std::string longest(511, 'c');
    expect_args_cases({
        {{"-c", "echo off"}, [](settings_record& s) { strcpy(s.command, "echo off"); }, 0, ""},
        {{"--command", "x"}, [](settings_record& s) { strcpy(s.command, "x"); }, 0, ""},
        {{"-c", "a", "-c", ""}, nullptr, 0, ""},
        {{"-c", "-n", "x"}, [](settings_record& s) {
             strcpy(s.command, "x");
             s.watch_roop = -1;
         }, 0, ""},
        {{"-ev", "-c", "x"}, [](settings_record& s) { strcpy(s.command, "x"); }, 0, ""},
        {{"-c"}, nullptr, 0, ""},
        {{"-c", longest}, [&](settings_record& s) { strcpy(s.command, longest.c_str()); }, 0, ""},
        // Cutting would run another command than the one asked for.
        {{"-c", "a", "-c", longest + "d", "-l", "3"}, [](settings_record& s) { strcpy(s.command, "a"); }, -1,
         "コマンドが長すぎます（512 バイト、上限 511 バイト）\n起動できませんでした。\n"},
    });
}

TEST_F(Args, CounterSourceAndDiskPrefixes)
{
    expect_args_cases({
        {{"-so", "kernel"}, [](settings_record& s) { s.counter_source = counter_source_kernel; }, 0, ""},
        {{"--counter_source", "kernel", "-so", "command"}, nullptr, 0, ""},
        {{"-so", "-n", "kernel"}, [](settings_record& s) {
             s.counter_source = counter_source_kernel;
             s.watch_roop = -1;
         }, 0, ""},
        {{"-so", "kernal"}, nullptr, -1, refusal("kernal")},
        {{"-so", "5", "-l", "3"}, nullptr, -1, refusal("5")},
        {{"-dp", "sd,nvme,vd,mmcblk,md"}, [](settings_record& s) { strcpy(s.disk_prefixes, "sd,nvme,vd,mmcblk,md"); },
         0, ""},
        {{"--disk_prefixes", "vd"}, [](settings_record& s) { strcpy(s.disk_prefixes, "vd"); }, 0, ""},
        {{"-dp", "sd,,nvme"}, nullptr, -1, refusal("sd,,nvme")},
        {{"-dp", ""}, nullptr, -1, refusal("")},
        {{"-dp", std::string(256, 'a')}, nullptr, -1, refusal(std::string(256, 'a'))},
        // A value-taking option followed by another option loses its value.
        {{"-so", "-dp", "nvme"}, [](settings_record& s) { strcpy(s.disk_prefixes, "nvme"); }, 0, ""},
        {{"-so", "kernel", "-rx", "9"}, [](settings_record& s) {
             s.counter_source = counter_source_kernel;
             s.rx_threshold = 9;
         }, 0, ""},
    });
}

TEST_F(Args, NoticeDryRunAndCalibration)
{
    const std::string longest(512, 'n');
    expect_args_cases({
        {{"-nt", "5"}, [](settings_record& s) { s.notice_time = 300; }, 0, ""},
        {{"-nr", "wall bye", "--notice_run", ""}, nullptr, 0, ""},
        {{"-nr", longest}, nullptr, -1,
         "コマンドが長すぎます（512 バイト、上限 511 バイト）\n起動できませんでした。\n"},
        // Like -n, the dry run takes no value and leaves a pending one pending.
        {{"-c", "-dr", "x"}, [](settings_record& s) {
             strcpy(s.command, "x");
             s.dry_run = 1;
         }, 0, ""},
        {{"-cal", "30"}, [](settings_record& s) { s.calibrate_minutes = 30; }, 0, ""},
        {{"--calibrate", " 2 "}, [](settings_record& s) { s.calibrate_minutes = 2; }, 0, ""},
        // Calibration without a length it understands must not watch instead.
        {{"-cal", "0"}, nullptr, -1, refusal("0")},
        {{"-cal", "99999999999"}, nullptr, -1, refusal("99999999999")},
        {{"--calibrate"}, nullptr, -1, refusal("-cal")},
        {{"-cal", "-n"}, [](settings_record& s) { s.watch_roop = -1; }, -1, refusal("-cal")},
    });
}

TEST_F(Args, ActivitySources)
{
    const std::string check511(511, 'c');
    const std::string ports256 = "22" + std::string(254, ' ');  // valid, but one byte too long
    expect_args_cases({
        {{"-us", "any"}, [](settings_record& s) { s.user_sessions = user_sessions_any; }, 0, ""},
        {{"--user_sessions", "active", "-us", "off"}, nullptr, 0, ""},
        {{"-us", "yes"}, nullptr, -1, refusal("yes")},
        {{"-ib", "on"}, [](settings_record& s) { s.inhibitors = 1; }, 0, ""},
        {{"--inhibitors", "On"}, nullptr, -1, refusal("On")},
        {{"-bp", "rsync, apt*,lw-[ab]"}, [](settings_record& s) { strcpy(s.busy_processes, "rsync, apt*,lw-[ab]"); },
         0, ""},
        {{"--busy_processes", "rsync,,borg"}, nullptr, -1, refusal("rsync,,borg")},
        {{"-bp", std::string(512, 'p')}, nullptr, -1, refusal(std::string(512, 'p'))},
        {{"-cp", "40"}, [](settings_record& s) { s.cpu_threshold = 40; }, 0, ""},
        {{"-cp", "101"}, nullptr, -1, refusal("101")},
        {{"-cp", "40%"}, nullptr, -1, refusal("40%")},
        {{"-pt", "22, 445,2049"}, [](settings_record& s) { strcpy(s.busy_ports, "22, 445,2049"); }, 0, ""},
        {{"--busy_ports", "ssh"}, nullptr, -1, refusal("ssh")},
        {{"-pt", "22,65536"}, nullptr, -1, refusal("22,65536")},
        {{"-pt", ports256}, nullptr, -1, refusal(ports256)},  // refused, never cut
        {{"-bc", check511}, [&](settings_record& s) { strcpy(s.busy_check, check511.c_str()); }, 0, ""},
        {{"--busy_check", check511 + "c"}, nullptr, -1,
         "コマンドが長すぎます（512 バイト、上限 511 バイト）\n起動できませんでした。\n"},
        {{"-ii", "lo,veth*"}, [](settings_record& s) { strcpy(s.ignore_interfaces, "lo,veth*"); }, 0, ""},
        {{"--ignore_interfaces", "lo,"}, nullptr, -1, refusal("lo,")},
        {{"-sj", "on"}, [](settings_record& s) { s.storage_jobs = 1; }, 0, ""},
        {{"--awake_hours", "Monday 08:00-18:00"}, nullptr, -1, refusal("Monday 08:00-18:00")},
        {{"--share_clients", "smb,nfs", "-sc", "off"}, nullptr, 0, ""},
        {{"-sc", "SMB"}, nullptr, -1, refusal("SMB")},
        // The older options keep their meaning beside the new ones.
        {{"-c", "x", "-cp", "5", "-rx", "7"}, [](settings_record& s) {
             strcpy(s.command, "x");
             s.cpu_threshold = 5;
             s.rx_threshold = 7;
         }, 0, ""},
    });
}

TEST_F(Args, ReportPaths)
{
    const std::string longest(report_path_size - 1, 'p');
    expect_args_cases({
        {{"-sp", "/run/s"}, [](settings_record& s) { strcpy(s.status_path, "/run/s"); }, 0, ""},
        {{"--metrics_path", longest}, [&](settings_record& s) { strcpy(s.metrics_path, longest.c_str()); }, 0, ""},
        {{"-mp", "/m", "--status_path", "/s", "-mp", "off"}, [](settings_record& s) { strcpy(s.status_path, "/s"); },
         0, ""},
        // Cutting would write somewhere nobody named.
        {{"-sp", longest + "p"}, nullptr, -1, refusal(longest + "p")},
        {{"-sp", ""}, nullptr, -1, refusal("")},
        // -t is seen before the parse; here it only keeps the pending value.
        {{"-sp", "-t", "/s"}, [](settings_record& s) { strcpy(s.status_path, "/s"); }, 0, ""},
        // An option that does the whole run ends the parse there.
        {{"--version", "-zz"}, nullptr, arg_finished, std::string("lullwatcher ") + program_version + "\n"},
    });
}

TEST_F(Args, RefusedOptionsStopAtOnce)
{
    expect_args_cases({
        {{"-"}, nullptr, -1, refusal("-")},
        {{"--"}, nullptr, -1, refusal("--")},
        {{"-zz", "-h"}, nullptr, -1, refusal("-zz")},
        {{"-l", "3", "-evx", "-ex", "5"}, [](settings_record& s) { s.disp_level = 3; }, -1, refusal("-evx")},
        {{"-C", "x"}, nullptr, -1, refusal("-C")},
        {{"--counter-source", "kernel"}, nullptr, -1, refusal("--counter-source")},
    });
}

// The help's own text is checked against the table and, whole, in an
// end-to-end run; here only that the parse prints it and stops.
std::string help_text()
{
    return capture_stdout(arg_help_print);
}

TEST_F(Args, HelpIsPrintedAndEndsTheParse)
{
    expect_args_cases({
        {{"-h"}, nullptr, -1, help_text()},
        {{"--help", "-l", "3"}, nullptr, -1, help_text()},
        {{"-n", "-h"}, [](settings_record& s) { s.watch_roop = -1; }, -1, help_text()},
    });
}

}  // namespace
