#include "config/setting_table.h"

#include <cstring>

#include "base/messages.h"
#include "base/settings.h"
#include "config/config_file.h"
#include "config/setting_kinds.h"
#include "report/config_print.h"

namespace {

constexpr uint64_t kb = 1024;
constexpr uint64_t mb = 1048576;

// The words by value, in the order of counter_source_kind and
// user_sessions_kind.
constexpr const char* counter_source_words[] = {"command", "kernel", nullptr};
constexpr const char* user_sessions_words[] = {"off", "any", "active", nullptr};
// The bits of share_clients_bits, in order.
constexpr const char* share_clients_words[] = {"smb", "nfs", nullptr};

}  // namespace

// A new setting is one row here: its kind's constructor (setting_kinds.h)
// with its key, options, setting and help item. Rows are only ever
// appended, and a new key must not contain an earlier one, nor a new option
// one of the family patterns "-rx", "-tx", "-r", "-w": otherwise an earlier
// row would claim it. The help shows the items in table order, those marked
// last at the end.
constexpr setting_descriptor setting_table[] = {
    expiry_command_row("COMMAND=", "-c", "--command", settings.command,
        {"\t-c [command], --command [command]",
         tr_later("\t\t監視終了時に実行するコマンドを指定します。\n\t\t指定が無い場合は「sync」×3と「shutdown -h now」が実行されます。")}),
    file_row("FILE=", "-f", "--file",
        {"\t-f [file_name], --file [file_name]",
         tr_later("\t\t設定ファイルを読み込みます。\n\t\t引数が何もない場合は「lullwatcher.conf」が読み込まれます。")}),
    device_row("DEVICE_NAME=", "-dv", "--device_name", device_name_take,
        {"\t-dv [device_name], --device_name [device_name]",
         tr_later("\t\t監視するデバイス名を指定します。\n\t\t有効な値は「/proc/bus/input/devices」のName部分です。")}),
    threshold_row("RX_THRESHOLD=", "-rx", "--rx_threshold", &settings.rx_threshold, 1,
        {"\t-rx [threshold], --rx_threhold [threhold]",
         tr_later("\t\tネットワークトラフィック（受信）の閾値をByte単位で指定します。\n\t\t指定が無い場合は、1MB/判定間隔です。0を指定で未監視。")}),
    threshold_row("RX_THRESHOLD_KB=", "-rxk", "--rx_threshold_kb", &settings.rx_threshold, kb,
        {"\t-rxk [threshold_KB], --rx_threhold_kb [threshold_KB]",
         tr_later("\t\tネットワークトラフィック(受信)の閾値でKB単位。")}),
    threshold_row("RX_THRESHOLD_MB=", "-rxm", "--rx_threshold_mb", &settings.rx_threshold, mb,
        {"\t-rxm [threshold_MB], --rx_threhold_mb [threshold_MB]",
         tr_later("\t\tネットワークトラフィック（受信）の閾値でMB単位。")}),
    threshold_row("TX_THRESHOLD=", "-tx", "--tx_threshold", &settings.tx_threshold, 1,
        {"\t-tx [threshold], --tx_threhold [threhold]",
         tr_later("\t\tネットワークトラフィック（送信）の閾値をByte単位で指定します。\n\t\t指定が無い場合は、未監視（0）です。")}),
    threshold_row("TX_THRESHOLD_KB=", "-txk", "--tx_threshold_kb", &settings.tx_threshold, kb,
        {"\t-txk [threshold_KB], --tx_threhold_kb [threshold_KB]",
         tr_later("\t\tネットワークトラフィック（送信）の閾値でKB単位。")}),
    threshold_row("TX_THRESHOLD_MB=", "-txm", "--tx_threshold_mb", &settings.tx_threshold, mb,
        {"\t-txm [threshold_MB], --tx_threhold_mb [threshold_MB]",
         tr_later("\t\tネットワークトラフィック（送信）の閾値でMB単位。")}),
    // Disk thresholds are held in KB: their "MB" unit is 1024.
    threshold_row("READ_THRESHOLD=", "-r", "--read_threshold", &settings.read_threshold, 1,
        {"\t-r [threshold], --read_threhold [threhold]",
         tr_later("\t\tディスク読み込みの閾値をKByte単位で指定します。\n\t\t指定が無い場合は、1MB/判定間隔です。0を指定で未監視。")}),
    threshold_row("READ_THRESHOLD_MB=", "-rm", "--read_threshold_mb", &settings.read_threshold, kb,
        {"\t-rm [threshold_KB], --read_threhold_mb [threshold_MB]",
         tr_later("\t\tディスク読み込みの閾値でMB単位。")}),
    threshold_row("WRITE_THRESHOLD=", "-w", "--write_threshold", &settings.write_threshold, 1,
        {"\t-w [threshold], --write_threhold [threhold]",
         tr_later("\t\tディスク書き込みの閾値をKByte単位で指定します。\n\t\t指定が無い場合は、1MB/判定間隔です。0を指定で未監視。")}),
    threshold_row("WRITE_THRESHOLD_MB=", "-wm", "--write_threshold_mb", &settings.write_threshold, kb,
        {"\t-wm [threshold_KB], --write_threhold_mb [threshold_MB]",
         tr_later("\t\tディスク書き込みの閾値でMB単位。")}),
    minutes_row("EXFIRE_TIME=", "-ex", "--exfire_time", &settings.exfire_time,
        {"\t-ex [minute], --exfire_time [minute]",
         tr_later("\t\tアイドル状態を継続した際、シャットダウンに移行（コマンド実行）す\n\t\tるまでの時間を分単位で指定します。指定しない場合は10分です。")}),
    seconds_row("CHECK_INTERVAL=", "-ci", "--check_interval", &settings.check_interval,
        {"\t-ci [second], --check_interval [second]",
         tr_later("\t\t閾値を判定する間隔を秒単位で指定します。\n\t\t指定しない場合は60秒です。閾値/判定時間で判断されることに注意し\n\t\tてください。")}),
    seconds_row("DISP_INTERVAL=", "-di", "--disp_interval", &settings.disp_interval,
        {"\t-di [second], --disp_interval [second]",
         tr_later("\t\t表示を行う間隔を秒単位で指定します。\n\t\t指定しない場合は10秒です。")}),
    level_row("DISP_LEVEL=", "-l", "--disp_level", &settings.disp_level,
        {"\t-l [level], --disp_level [level]",
         tr_later("\t\t表示レベルを指定します。指定しない場合は1です。\n\t\t0:経過表示なし、1:監視部分のみ表示、\n\t\t2:非監視部分を含める、3:操作の詳細表示")}),
    flag_row("NOT_ROOP", "-n", "--not_roop", not_roop_flag, not_roop_print,
        {"\t-n, --not_roop",
         tr_later("\t\t監視満了後にループせずにプログラムを終了する。"), true}),
    flag_row(nullptr, "-h", "--help", help_flag, nullptr,
        {"\t-h, --help",
         tr_later("\t\tこのヘルプの表示です。"), true}),
    device_row("EVENT=", "-ev", "--event", event_name_take,
        {"\t-ev [eventX], --event [eventX]",
         tr_later("\t\t監視するデバイスをevent3の形式で指定します。\n\t\tオプション「-e」無しでも指定可能です。")}),
    word_row("COUNTER_SOURCE=", "-so", "--counter_source", &settings.counter_source, counter_source_words,
        {"\t-so [command|kernel], --counter_source [command|kernel]",
         tr_later("\t\tネットワークとディスクの計測値の取得元を指定します。\n\t\tcommand:「ifconfig」と「iostat」を実行（既定）、kernel:カーネルの統計を直接読む")}),
    prefix_list_row("DISK_PREFIXES=", "-dp", "--disk_prefixes", settings.disk_prefixes,
        {"\t-dp [prefix,...], --disk_prefixes [prefix,...]",
         tr_later("\t\t監視するディスク名の先頭部分をカンマ区切りで指定します。\n\t\t指定しない場合は「sd」です。例：sd,nvme,vd,mmcblk,md")}),
    // A notice before acting, a dry run, and calibration instead of watching.
    minutes_or_off_row("NOTICE_TIME=", "-nt", "--notice_time", &settings.notice_time,
        {"\t-nt [minute], --notice_time [minute]",
         tr_later("\t\t満了処理の何分前に予告するかを分単位で指定します。\n\t\t指定しない場合は0（予告なし）です。満了時間より短くしてください。")}),
    command_row("NOTICE_RUN=", "-nr", "--notice_run", settings.notice_run,
        {"\t-nr [command], --notice_run [command]",
         tr_later("\t\t予告時に一度実行するコマンドを指定します。10秒で打ち切ります。")}),
    switch_row("DRY_RUN=", "-dr", "--dry_run", &settings.dry_run,
        {"\t-dr, --dry_run",
         tr_later("\t\t試運転：満了時に実行するはずのコマンドを表示するだけで、\n\t\t何も実行せずに監視を続けます。")}),
    count_row("-cal", "--calibrate", &settings.calibrate_minutes,
        {"\t-cal [minute], --calibrate [minute]",
         tr_later("\t\t監視の代わりに指定した分数だけ全インタフェースとディスクを測り、\n\t\t閾値の推奨設定を表示して終了します。何も実行しません。")}),
    // Activity sources: each off until its value switches it on.
    word_row("USER_SESSIONS=", "-us", "--user_sessions", &settings.user_sessions, user_sessions_words,
        {"\t-us [off|any|active], --user_sessions [off|any|active]",
         tr_later("\t\tログインセッション（systemd-logind）を使用中とみなします。\n\t\toff:見ない（既定）、any:ユーザーのセッションがある間、\n\t\tactive:アイドルでないセッションがある間")}),
    on_off_row("INHIBITORS=", "-ib", "--inhibitors", &settings.inhibitors,
        {"\t-ib [off|on], --inhibitors [off|on]",
         tr_later("\t\tshutdown・sleep・idle を止める抑止ロック（block）がある間は\n\t\t使用中とみなします。指定しない場合は off です。")}),
    name_list_row("BUSY_PROCESSES=", "-bp", "--busy_processes", settings.busy_processes,
        {"\t-bp [name,...], --busy_processes [name,...]",
         tr_later("\t\t使用中とみなすプロセス名をカンマ区切りで指定します（* ? [...] 可）。\n\t\t例：rsync,borg,restic,apt*,dpkg,ffmpeg")}),
    percent_row("CPU_THRESHOLD=", "-cp", "--cpu_threshold", &settings.cpu_threshold,
        {"\t-cp [percent], --cpu_threshold [percent]",
         tr_later("\t\tCPU使用率の閾値を判定間隔あたりの%で指定します（0〜100）。\n\t\t指定しない場合は未監視（0）です。")}),
    port_list_row("BUSY_PORTS=", "-pt", "--busy_ports", settings.busy_ports,
        {"\t-pt [port,...], --busy_ports [port,...]",
         tr_later("\t\tこのローカルTCPポートへの接続がある間は使用中とみなします。\n\t\t例：22,445,2049")}),
    check_command_row("BUSY_CHECK=", "-bc", "--busy_check", settings.busy_check,
        {"\t-bc [command], --busy_check [command]",
         tr_later("\t\t判定ごとに実行し、終了ステータス0なら使用中とみなすコマンドです。\n\t\t10秒以内に終わらない場合も使用中とみなします。")}),
    name_list_row("IGNORE_INTERFACES=", "-ii", "--ignore_interfaces", settings.ignore_interfaces,
        {"\t-ii [pattern,...], --ignore_interfaces [pattern,...]",
         tr_later("\t\t記録も表示も判定もしないインターフェース名をカンマ区切りで\n\t\t指定します（* ? [...] 可）。例：lo,veth*,docker*,br-*")}),
    // Reports on what the program sees and does, and the options that only
    // report.
    path_row("STATUS_PATH=", "-sp", "--status_path", settings.status_path,
        {"\t-sp [path|off], --status_path [path|off]",
         tr_later("\t\t監視開始時と判定のたびに状態ファイルを書き出します。\n\t\t指定しない場合とoffは書き出しません。例：/run/lullwatcher/status")}),
    path_row("METRICS_PATH=", "-mp", "--metrics_path", settings.metrics_path,
        {"\t-mp [path|off], --metrics_path [path|off]",
         tr_later("\t\t判定のたびにPrometheus形式のメトリクスファイルを書き換えます。\n\t\t指定しない場合とoffは書き出しません。")}),
    flag_row(nullptr, "-st", "--status", status_flag, nullptr,
        {"\t-st, --status",
         tr_later("\t\t状態ファイル（/run/lullwatcher/status、またはそれより前の-spの\n\t\tファイル）を表示して終了します。\n\t\t終了ステータス 0:動作中、3:停止、4:状態ファイルなし")}),
    flag_row(nullptr, "-t", "--test_config", test_config_flag, nullptr,
        {"\t-t, --test_config",
         tr_later("\t\t起動時と同じ設定を読み込み、有効な設定を表示して終了します。\n\t\t監視は行いません。起動できない設定の場合はステータス255です。")}),
    flag_row(nullptr, "--version", "--version", version_flag, nullptr,
        {"\t--version",
         tr_later("\t\tバージョンを表示して終了します。")}),
    // Storage maintenance and hours to stay up.
    on_off_row("STORAGE_JOBS=", "-sj", "--storage_jobs", &settings.storage_jobs,
        {"\t-sj [off|on], --storage_jobs [off|on]",
         tr_later("\t\tmd の同期、ZFS・btrfs のスクラブ、SMART 自己診断などの実行中は\n\t\t使用中とみなします。指定しない場合は off です。")}),
    day_windows_row("AWAKE_HOURS=", "-ah", "--awake_hours", settings.awake_hours,
        {"\t-ah [window,...], --awake_hours [window,...]",
         tr_later("\t\t常に使用中とみなす時間帯（ローカル時刻）をカンマ区切りで指定します。\n\t\t例：Mon-Fri 08:00-18:00,Sat 10:00-14:00,22:00-02:00")}),
    // Clients of the file servers and hosts on the network as activity.
    word_set_row("SHARE_CLIENTS=", "-sc", "--share_clients", &settings.share_clients, share_clients_words,
        {"\t-sc [smb,nfs|off], --share_clients [smb,nfs|off]",
         tr_later("\t\tこのファイル共有（smb、nfs、カンマ区切り）でクライアントがファイルを\n\t\t開いている間は使用中とみなします。指定しない場合は off です。")}),
    name_list_row("PING_HOSTS=", "-ph", "--ping_hosts", settings.ping_hosts,
        {"\t-ph [host,...], --ping_hosts [host,...]",
         tr_later("\t\tこのホスト（名前かアドレス、カンマ区切り）のどれかがpingに応答する\n\t\t間は使用中とみなします。例：desktop.lan,192.168.1.20")}),
    // Coming back after a power-off: when to be up again, and Wake-on-LAN.
    name_list_row("ALARM_TIMERS=", "-at", "--alarm_timers", settings.alarm_timers,
        {"\t-at [pattern,...], --alarm_timers [pattern,...]",
         tr_later("\t\t次の実行の前に起動させる systemd タイマーの名前をカンマ区切りで\n\t\t指定します（* ? [...] 可）。例：backup*.timer,apt-daily*.timer")}),
    day_times_row("ALARM_AT=", "-aa", "--alarm_at", settings.alarm_at,
        {"\t-aa [time,...], --alarm_at [time,...]",
         tr_later("\t\t起動させる時刻（ローカル時刻）をカンマ区切りで指定します。\n\t\t例：07:00、Mon-Fri 06:30,Sat 09:00")}),
    check_command_row("ALARM_QUERY=", "-aq", "--alarm_query", settings.alarm_query,
        {"\t-aq [command], --alarm_query [command]",
         tr_later("\t\t次に起動させる時刻をエポック秒で表示するコマンドです。何も表示\n\t\tしなければ時刻なし。10秒以内に終わらない場合は失敗とみなします。")}),
    day_minutes_row("ALARM_LEAD=", "-al", "--alarm_lead", &settings.alarm_lead,
        {"\t-al [minute], --alarm_lead [minute]",
         tr_later("\t\t起動予定の何分前に起動させるかを指定します（1〜1440）。\n\t\t指定しない場合は5分です。")}),
    name_list_row("LAN_WAKE=", "-lw", "--lan_wake", settings.lan_wake,
        {"\t-lw [interface,...], --lan_wake [interface,...]",
         tr_later("\t\t満了時にマジックパケットによる起動（Wake-on-LAN）を有効にする\n\t\tインターフェースをカンマ区切りで指定します。例：eth0")}),
    language_row("MESSAGES=", "-ms", "--messages",
        {"\t-ms [ja|en], --messages [ja|en]",
         tr_later("\t\t表示する言語を指定します。ja:日本語（既定）、en:英語")}),
};

const std::size_t setting_table_size = sizeof setting_table / sizeof setting_table[0];

const setting_descriptor* setting_key_find(const char* line, const char** value)
{
    for (const setting_descriptor& row : setting_table) {
        if (row.key == nullptr)
            continue;
        const char* found = strstr(line, row.key);
        if (found != nullptr) {
            *value = found + strlen(row.key);
            return &row;
        }
    }
    return nullptr;
}

namespace {

bool family_head(const setting_descriptor& row)
{
    return row.threshold != nullptr && row.factor == 1;
}

bool option_equals(const setting_descriptor& row, const char* arg)
{
    return strcmp(arg, row.short_option) == 0 || strcmp(arg, row.long_option) == 0;
}

// Within the family that head starts: the row whose exact text arg is (its
// unit factor applies), else the head itself (factor 1).
const setting_descriptor* family_member(const setting_descriptor* head, const char* arg)
{
    const setting_descriptor* end = setting_table + setting_table_size;
    for (const setting_descriptor* row = head + 1; row != end && row->threshold == head->threshold; row++) {
        if (option_equals(*row, arg))
            return row;
    }
    return head;
}

}  // namespace

const setting_descriptor* setting_option_find(const char* arg)
{
    for (const setting_descriptor& row : setting_table) {
        if (family_head(row)) {
            if (strstr(arg, row.short_option) != nullptr)
                return family_member(&row, arg);
        } else if (row.threshold == nullptr && option_equals(row, arg)) {
            return &row;
        }
    }
    return nullptr;
}

const setting_descriptor& setting_language_row()
{
    static const setting_descriptor* row = [] {
        for (const setting_descriptor& r : setting_table) {
            if (r.take == language_take)
                return &r;
        }
        return &setting_table[0];  // never: the table holds the row
    }();
    return *row;
}

void test_config_print()
{
    for (const setting_descriptor& row : setting_table) {
        if (row.print != nullptr)
            row.print(row);
    }
    config_system_print();
}
