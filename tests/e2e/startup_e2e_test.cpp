// End-to-end runs of the built binary: start-up, configuration files,
// refusals and the expiry action. Every run finds harmless stand-ins for
// shutdown and sync first on its PATH; runs that could reach the default
// action have ONLY those on PATH.
#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <vector>

#include "support/test_support.h"

namespace {

// Short times, no sampling, one expiry, then the end: by options and as a file.
const std::vector<std::string> quick_args = {"-ex", "1", "-ci", "10", "-di", "10", "-n",
                                             "-rx", "0",  "-r",  "0",  "-w",  "0"};
const std::string quick_file =
    "// quick test run\nCOMMAND=echo from-file\nEXFIRE_TIME=1\nCHECK_INTERVAL=10\nDISP_INTERVAL=10\nNOT_ROOP\n"
    "RX_THRESHOLD=0\nREAD_THRESHOLD=0\nWRITE_THRESHOLD=0\n";
const std::string quick_run =
    "\n監視開始\n"
    "\t満了時間：1 分、表示間隔：10 秒、判定間隔：10 秒\n"
    "\n継続時間：0分\n\n継続時間：0分\n\n継続時間：0分\n\n継続時間：0分\n\n継続時間：0分\n\n継続時間：0分\n"
    "監視満了!!\n";
const std::string command_from_file = "コマンド設定：echo from-file\n";

std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string>& more)
{
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// Runs with nothing but the stand-ins on PATH.
run_result run_guarded(const std::vector<std::string>& args, const std::string& cwd = "")
{
    run_options opt;
    opt.path = "";
    opt.args = args;
    opt.cwd = cwd;
    return run_lullwatcher(opt);
}

// The whole help, item by item, as the users' documentation shows it.
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
    "\t-nt [minute], --notice_time [minute]",
    "\t\t満了処理の何分前に予告するかを分単位で指定します。\n\t\t指定しない場合は0（予告なし）です。満了時間より短くしてください。",
    "\t",
    "\t-nr [command], --notice_run [command]",
    "\t\t予告時に一度実行するコマンドを指定します。10秒で打ち切ります。",
    "\t",
    "\t-dr, --dry_run",
    "\t\t試運転：満了時に実行するはずのコマンドを表示するだけで、\n\t\t何も実行せずに監視を続けます。",
    "\t",
    "\t-cal [minute], --calibrate [minute]",
    "\t\t監視の代わりに指定した分数だけ全インタフェースとディスクを測り、\n\t\t閾値の推奨設定を表示して終了します。何も実行しません。",
    "\t",
    "\t-us [off|any|active], --user_sessions [off|any|active]",
    "\t\tログインセッション（systemd-logind）を使用中とみなします。\n\t\toff:見ない（既定）、any:ユーザーのセッションがある間、\n\t\tactive:アイドルでないセッションがある間",
    "\t",
    "\t-ib [off|on], --inhibitors [off|on]",
    "\t\tshutdown・sleep・idle を止める抑止ロック（block）がある間は\n\t\t使用中とみなします。指定しない場合は off です。",
    "\t",
    "\t-bp [name,...], --busy_processes [name,...]",
    "\t\t使用中とみなすプロセス名をカンマ区切りで指定します（* ? [...] 可）。\n\t\t例：rsync,borg,restic,apt*,dpkg,ffmpeg",
    "\t",
    "\t-cp [percent], --cpu_threshold [percent]",
    "\t\tCPU使用率の閾値を判定間隔あたりの%で指定します（0〜100）。\n\t\t指定しない場合は未監視（0）です。",
    "\t",
    "\t-pt [port,...], --busy_ports [port,...]",
    "\t\tこのローカルTCPポートへの接続がある間は使用中とみなします。\n\t\t例：22,445,2049",
    "\t",
    "\t-bc [command], --busy_check [command]",
    "\t\t判定ごとに実行し、終了ステータス0なら使用中とみなすコマンドです。\n\t\t10秒以内に終わらない場合も使用中とみなします。",
    "\t",
    "\t-ii [pattern,...], --ignore_interfaces [pattern,...]",
    "\t\t記録も表示も判定もしないインターフェース名をカンマ区切りで\n\t\t指定します（* ? [...] 可）。例：lo,veth*,docker*,br-*",
    "\t",
    "\t-sp [path|off], --status_path [path|off]",
    "\t\t監視開始時と判定のたびに状態ファイルを書き出します。\n\t\t指定しない場合とoffは書き出しません。例：/run/lullwatcher/status",
    "\t",
    "\t-mp [path|off], --metrics_path [path|off]",
    "\t\t判定のたびにPrometheus形式のメトリクスファイルを書き換えます。\n\t\t指定しない場合とoffは書き出しません。",
    "\t",
    "\t-st, --status",
    "\t\t状態ファイル（/run/lullwatcher/status、またはそれより前の-spの\n\t\tファイル）を表示して終了します。\n\t\t終了ステータス 0:動作中、3:停止、4:状態ファイルなし",
    "\t",
    "\t-t, --test_config",
    "\t\t起動時と同じ設定を読み込み、有効な設定を表示して終了します。\n\t\t監視は行いません。起動できない設定の場合はステータス255です。",
    "\t",
    "\t--version",
    "\t\tバージョンを表示して終了します。",
    "\t",
    "\t-sj [off|on], --storage_jobs [off|on]",
    "\t\tmd の同期、ZFS・btrfs のスクラブ、SMART 自己診断などの実行中は\n\t\t使用中とみなします。指定しない場合は off です。",
    "\t",
    "\t-ah [window,...], --awake_hours [window,...]",
    "\t\t常に使用中とみなす時間帯（ローカル時刻）をカンマ区切りで指定します。\n\t\t例：Mon-Fri 08:00-18:00,Sat 10:00-14:00,22:00-02:00",
    "\t",
    "\t-sc [smb,nfs|off], --share_clients [smb,nfs|off]",
    "\t\tこのファイル共有（smb、nfs、カンマ区切り）でクライアントがファイルを\n\t\t開いている間は使用中とみなします。指定しない場合は off です。",
    "\t",
    "\t-ph [host,...], --ping_hosts [host,...]",
    "\t\tこのホスト（名前かアドレス、カンマ区切り）のどれかがpingに応答する\n\t\t間は使用中とみなします。例：desktop.lan,192.168.1.20",
    "\t",
    "\t-at [pattern,...], --alarm_timers [pattern,...]",
    "\t\t次の実行の前に起動させる systemd タイマーの名前をカンマ区切りで\n\t\t指定します（* ? [...] 可）。例：backup*.timer,apt-daily*.timer",
    "\t",
    "\t-aa [time,...], --alarm_at [time,...]",
    "\t\t起動させる時刻（ローカル時刻）をカンマ区切りで指定します。\n\t\t例：07:00、Mon-Fri 06:30,Sat 09:00",
    "\t",
    "\t-aq [command], --alarm_query [command]",
    "\t\t次に起動させる時刻をエポック秒で表示するコマンドです。何も表示\n\t\tしなければ時刻なし。10秒以内に終わらない場合は失敗とみなします。",
    "\t",
    "\t-al [minute], --alarm_lead [minute]",
    "\t\t起動予定の何分前に起動させるかを指定します（1〜1440）。\n\t\t指定しない場合は5分です。",
    "\t",
    "\t-lw [interface,...], --lan_wake [interface,...]",
    "\t\t満了時にマジックパケットによる起動（Wake-on-LAN）を有効にする\n\t\tインターフェースをカンマ区切りで指定します。例：eth0",
    "\t",
    "\t-ms [ja|en], --messages [ja|en]",
    "\t\t表示する言語を指定します。ja:日本語（既定）、en:英語",
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

TEST(StartupE2E, WithoutAnyFileRunsOnDefaultsAndRunsTheDefaultAction)
{
    struct stat st;
    if (stat("/etc/lullwatcher/lullwatcher.conf", &st) == 0)
        GTEST_SKIP() << "a system configuration file is installed on this machine";
    temp_dir cwd;
    run_options opt;
    opt.cwd = cwd.path;
    opt.path = "";  // nothing but the stand-ins for sync and shutdown
    opt.until = "fake-shutdown: -h now\n";
    const run_result r = run_lullwatcher(opt);
    ASSERT_FALSE(r.timed_out) << r.output;

    const std::string head =
        "設定ファイルの読み込み失敗:/etc/lullwatcher/lullwatcher.conf\n"
        "\n監視開始\n"
        "\t満了時間：10 分、表示間隔：10 秒、判定間隔：60 秒\n"
        "\tネットワーク 閾値：(受信)1048576 Byte/60秒\n"
        "\tディスク 閾値：(読み込み)1024 KB/60秒\n"
        "\tディスク 閾値：(書き込み)1024 KB/60秒\n";
    EXPECT_EQ(r.output.substr(0, head.size()), head);
    EXPECT_NE(r.output.find("\n継続時間：9分\n"), std::string::npos);
    EXPECT_NE(r.output.find("監視満了!!\nfake-sync: \nfake-sync: \nfake-sync: \nfake-shutdown: -h now\n"),
              std::string::npos)
        << r.output;
}

TEST(StartupE2E, FileInTheWorkingDirectoryIsReadOnlyWithoutArguments)
{
    temp_dir cwd;
    cwd.write("lullwatcher.conf", quick_file);
    run_result r = run_guarded({}, cwd.path);
    EXPECT_EQ(r.output, command_from_file + quick_run + "from-file\n");
    EXPECT_EQ(r.status, 0);

    r = run_guarded(with(quick_args, {"-c", "echo from-args"}), cwd.path);
    EXPECT_EQ(r.output, quick_run + "from-args\n");
    EXPECT_EQ(r.status, 0);
}

TEST(StartupE2E, FileNamedByAnOptionOverridesWhatCameBefore)
{
    temp_dir dir;
    const std::string conf = dir.write("quick.conf", quick_file);
    const run_result r = run_guarded({"-c", "echo from-args", "-f", conf});
    EXPECT_EQ(r.output, command_from_file + quick_run + "from-file\n");
    EXPECT_EQ(r.status, 0);
}

// Refused command lines, inconsistent times, the help, and configuration
// files refused as unsafe or handing over in a loop (never the defaults).
TEST(StartupE2E, RefusalsEndWithStatus255BeforeTheBanner)
{
    temp_dir dir;
    const std::string open = dir.write("lullwatcher.conf", quick_file, 0666);
    const std::string loop = dir.path + "/loop.conf";
    dir.write("loop.conf", quick_file + "FILE=" + loop + "\n");
    temp_dir fifo_dir;
    const std::string fifo = fifo_dir.path + "/lullwatcher.conf";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::vector<std::string> args;
        std::string output;
        std::string cwd = "";
    } cases[] = {
        {{"-c", "true", "-di", "61", "-ci", "60"},
         "時間設定に誤りがあります。\n表示間隔 ＜ チェック間隔 ＜ 満了時間で設定してください。\n現状： 61 60 600\n"},
        {{"-c", "true", "-ex", "2", "-nt", "2"},
         "時間設定に誤りがあります。\n表示間隔 ＜ チェック間隔 ＜ 満了時間で設定してください。\n現状： 10 60 120\n"
         "満了予告時間 ＜ 満了時間で設定してください。現状： 120 120\n"},
        {{"-c", "true", "-so", "kernal"},
         "対応しないパラメータ：kernal\n起動できませんでした。--helpで確認してください。\n"},
        {{"-c", "true", "-zz", "-h"},
         "対応しないパラメータ：-zz\n起動できませんでした。--helpで確認してください。\n"},
        {{"-c", std::string(600, 'x')}, "コマンドが長すぎます（600 バイト、上限 511 バイト）\n起動できませんでした。\n"},
        {{"-c", "true", "-h"}, help_text()},
        {{}, "設定ファイルを使用しません（他のユーザーが書き込み可能）：" + open + "\n", dir.path},
        {{}, "設定ファイルを使用しません（通常のファイルではありません）：" + fifo + "\n", fifo_dir.path},
        {{"-c", "true", "-f", loop}, command_from_file + "設定ファイルの引き継ぎが循環しています：" + loop + "\n"},
    };
    for (const auto& c : cases) {
        const run_result r = run_guarded(c.args, c.cwd);
        EXPECT_EQ(r.output, c.output);
        EXPECT_EQ(r.status, 255) << r.output;
    }
}

}  // namespace
