// The command line: options, values, modes and refusals.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "config/args.h"
#include "config/config_helpers.h"
#include "base/settings.h"

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
        {{"-ex", "1.5"}, [](settings_record& s) { s.exfire_time = 60; }, 0, ""},
        {{"-ex", "0", "-ex", "abc"}, nullptr, 0, ""},
        {{"-ex", "-3"}, nullptr, -1, refusal("-3")},
        {{"-ex", "99999999999"}, [](settings_record& s) { s.exfire_time = 2147483640; }, 0, ""},
        {{"-ci", "30"}, [](settings_record& s) { s.check_interval = 30; }, 0, ""},
        {{"--check_interval", "4294967297"}, [](settings_record& s) { s.check_interval = INT32_MAX; }, 0, ""},
        {{"-di", "5"}, [](settings_record& s) { s.disp_interval = 5; }, 0, ""},
        {{"--disp_interval", "0"}, nullptr, 0, ""},
        {{"-l", "3"}, [](settings_record& s) { s.disp_level = 3; }, 0, ""},
        {{"--disp_level", "2"}, [](settings_record& s) { s.disp_level = 2; }, 0, ""},
        {{"-l", "0"}, nullptr, 0, ""},
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
        {{"-rx", "abc"}, [](settings_record& s) { s.rx_threshold = 0; }, 0, ""},
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
        {{"-r", "x"}, [](settings_record& s) { s.read_threshold = 0; }, 0, ""},
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

// Help items, one per line, exactly as the users' documentation shows them.
const char* const help_items[] = {
    "名前",
    "\tlullwatcher -  オートシャットダウン",
    "書式",
    "\tlullwatcher [オプション] [event]...",
    "説明",
    "\tネットワークトラフィックやディクスアクセス、指定したデバイスの入出力を\n\t監視し、一定時間アイドルの場合にシャットダウンする。",
    "\t設定ファイル「lullwatcher.conf」からの読み込みと引数での指定が行えます。",
    "\tなお、引数を設定した場合は設定ファイルの読み込みは行いません。",
    "\t",
    "\t-c [command], --command [command]",
    "\t\t監視終了時に実行するコマンドを指定します。\n\t\t指定が無い場合は「sync」×3と「shutdown -h now」が実行されます。",
    "\t",
    "\t-f [file_name], --file [file_name]",
    "\t\t設定ファイルを読み込みます。\n\t\t引数が何もない場合は「lullwatcher.conf」が読み込まれます。",
    "\t",
    "\t-dv [device_name], --device_name [device_name]",
    "\t\t監視するデバイス名を指定します。\n\t\t有効な値は「/proc/bus/input/devices」のName部分です。",
    "\t",
    "\t-rx [threshold], --rx_threhold [threhold]",
    "\t\tネットワークトラフィック（受信）の閾値をByte単位で指定します。\n\t\t指定が無い場合は、1MB/判定間隔です。0を指定で未監視。",
    "\t",
    "\t-rxk [threshold_KB], --rx_threhold_kb [threshold_KB]",
    "\t\tネットワークトラフィック(受信)の閾値でKB単位。",
    "\t",
    "\t-rxm [threshold_MB], --rx_threhold_mb [threshold_MB]",
    "\t\tネットワークトラフィック（受信）の閾値でMB単位。",
    "\t",
    "\t-tx [threshold], --tx_threhold [threhold]",
    "\t\tネットワークトラフィック（送信）の閾値をByte単位で指定します。\n\t\t指定が無い場合は、未監視（0）です。",
    "\t",
    "\t-txk [threshold_KB], --tx_threhold_kb [threshold_KB]",
    "\t\tネットワークトラフィック（送信）の閾値でKB単位。",
    "\t",
    "\t-txm [threshold_MB], --tx_threhold_mb [threshold_MB]",
    "\t\tネットワークトラフィック（送信）の閾値でMB単位。",
    "\t",
    "\t-r [threshold], --read_threhold [threhold]",
    "\t\tディスク読み込みの閾値をKByte単位で指定します。\n\t\t指定が無い場合は、1MB/判定間隔です。0を指定で未監視。",
    "\t",
    "\t-rm [threshold_KB], --read_threhold_mb [threshold_MB]",
    "\t\tディスク読み込みの閾値でMB単位。",
    "\t",
    "\t-w [threshold], --write_threhold [threhold]",
    "\t\tディスク書き込みの閾値をKByte単位で指定します。\n\t\t指定が無い場合は、1MB/判定間隔です。0を指定で未監視。",
    "\t",
    "\t-wm [threshold_KB], --write_threhold_mb [threshold_MB]",
    "\t\tディスク書き込みの閾値でMB単位。",
    "\t",
    "\t-ex [minute], --exfire_time [minute]",
    "\t\tアイドル状態を継続した際、シャットダウンに移行（コマンド実行）す\n\t\tるまでの時間を分単位で指定します。指定しない場合は10分です。",
    "\t",
    "\t-ci [second], --check_interval [second]",
    "\t\t閾値を判定する間隔を秒単位で指定します。\n\t\t指定しない場合は60秒です。閾値/判定時間で判断されることに注意し\n\t\tてください。",
    "\t",
    "\t-di [second], --disp_interval [second]",
    "\t\t表示を行う間隔を秒単位で指定します。\n\t\t指定しない場合は10秒です。",
    "\t",
    "\t-l [level], --disp_level [level]",
    "\t\t表示レベルを指定します。指定しない場合は1です。\n\t\t0:経過表示なし、1:監視部分のみ表示、\n\t\t2:非監視部分を含める、3:操作の詳細表示",
    "\t",
    "\t-ev [eventX], --event [eventX]",
    "\t\t監視するデバイスをevent3の形式で指定します。\n\t\tオプション「-e」無しでも指定可能です。",
    "\t",
    "\t-so [command|kernel], --counter_source [command|kernel]",
    "\t\tネットワークとディスクの計測値の取得元を指定します。\n\t\tcommand:「ifconfig」と「iostat」を実行（既定）、kernel:カーネルの統計を直接読む",
    "\t",
    "\t-dp [prefix,...], --disk_prefixes [prefix,...]",
    "\t\t監視するディスク名の先頭部分をカンマ区切りで指定します。\n\t\t指定しない場合は「sd」です。例：sd,nvme,vd,mmcblk,md",
    "\t",
    "\t-n, --not_roop",
    "\t\t監視満了後にループせずにプログラムを終了する。",
    "\t",
    "\t-h, --help",
    "\t\tこのヘルプの表示です。",
    "\t",
};

std::string help_text()
{
    std::string text;
    for (const char* item : help_items)
        text += std::string(item) + "\n";
    return text;
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
