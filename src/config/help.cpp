// The help text of the command line.
#include <cstdio>

#include "config/args.h"

namespace {

// One item per line of output; "\t" alone separates the options.
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

}  // namespace

void arg_help_print()
{
    for (const char* item : help_items)
        printf("%s\n", item);
}
