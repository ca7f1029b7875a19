// End-to-end runs of the calibration, the notice before acting and the dry
// run. Fake "ifconfig" and "iostat" stand in for the samplers; runs that
// could reach the default action have nothing but stand-ins on PATH.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

// eth0 receives 1000 bytes more on every run, and 5 000 000 more on run
// jump_at (0: never); lo stays still.
std::string fake_ifconfig(int jump_at)
{
    return FAKE_RUN_COUNT
           "rx=$((n * 1000)); [ " + std::to_string(jump_at) + " -gt 0 ] && [ $n -ge " +
           std::to_string(jump_at) + " ] && rx=$((rx + 5000000))\n"
           "printf 'eth0: flags=4163<UP,BROADCAST,RUNNING,MULTICAST>  mtu 1500\\n'\n"
           "printf '        RX packets %d  bytes %d (x)\\n' $n $rx\n"
           "printf '        TX packets %d  bytes %d (x)\\n\\n' $n $((n * 10))\n"
           "printf 'lo: flags=73<UP,LOOPBACK,RUNNING>  mtu 65536\\n'\n"
           "printf '        RX packets 5  bytes 500 (500.0 B)\\n        TX packets 5  bytes 500 (500.0 B)\\n'\n";
}

// nvme0n1 writes 300 KB more on every run; the default prefix ("sd") would
// not watch it.
const char* const fake_iostat =
    FAKE_RUN_COUNT
    "printf 'Linux 6.1.0-28-amd64 (nas) \\t12/07/26 \\t_x86_64_\\t(4 CPU)\\n\\n'\n"
    "printf 'Device             tps    kB_read/s    kB_wrtn/s    kB_dscd/s    kB_read    kB_wrtn    kB_dscd\\n'\n"
    "printf 'nvme0n1          12.41       101.77       188.02        35.96    8841201   %d    0\\n\\n' $((n * 300))\n";

TEST(CalibrationE2E, MeasuresEveryInterfaceAndDiskAndProposesSettings)
{
    temp_dir fakes;
    write_script(fakes, "ifconfig", fake_ifconfig(0));
    write_script(fakes, "iostat", fake_iostat);
    run_options opt;
    opt.path = fakes.path;
    // Thresholds of 0 and a prefix that matches nothing change nothing.
    opt.args = {"-c", "echo ACTED", "-cal", "2", "-ci", "10", "-di", "5", "-rx", "0", "-r", "0", "-w", "0",
                "-dp", "xyz"};
    const run_result r = run_lullwatcher(opt);
    ASSERT_FALSE(r.timed_out) << r.output;
    EXPECT_EQ(r.status, 0) << r.output;
    const std::string start =
        "\nキャリブレーション開始：2 分間、判定間隔 10 秒\n"
        "\t測定のみで満了処理は行いません。この間は機械を使わないでください。\n"
        "キャリブレーション中：残り 1 分 50 秒、判定 1 回\n";
    EXPECT_EQ(r.output.substr(0, start.size()), start);
    // Two passes per check: the first period holds the first sighting.
    const std::string report =
        "キャリブレーション中：残り 0 分 00 秒、判定 12 回\n"
        "\nキャリブレーション結果：判定 12 回（判定間隔 10 秒）\n"
        "\t判定間隔ごとの増加量の最大と95パーセンタイル（全判定の95%以上がその値以下となる最小の値）\n"
        "\tネットワーク eth0 (受信)：最大 2000 Byte、95パーセンタイル 2000 Byte\n"
        "\tネットワーク eth0 (送信)：最大 20 Byte、95パーセンタイル 20 Byte\n"
        "\tネットワーク lo (受信)：最大 0 Byte、95パーセンタイル 0 Byte\n"
        "\tネットワーク lo (送信)：最大 0 Byte、95パーセンタイル 0 Byte\n"
        "\tディスク nvme0n1 (読み込み)：最大 0 KB、95パーセンタイル 0 KB\n"
        "\tディスク nvme0n1 (書き込み)：最大 600 KB、95パーセンタイル 600 KB\n"
        "推奨設定（アイドル時の最大の2倍以上、設定ファイルにそのまま貼り付けられます）：\n"
        "CHECK_INTERVAL=10\nRX_THRESHOLD_KB=5\nTX_THRESHOLD_KB=1\nREAD_THRESHOLD=1\nWRITE_THRESHOLD_MB=2\n"
        "この設定では判定 12 回のうち 12 回がアイドルでした。\n";
    ASSERT_GE(r.output.size(), report.size());
    EXPECT_EQ(r.output.substr(r.output.size() - report.size()), report) << r.output;
    EXPECT_EQ(r.output.find("ACTED"), std::string::npos);
    EXPECT_EQ(r.output.find("監視開始"), std::string::npos);
}

const std::vector<std::string> idle_args = {"-ex", "3", "-ci", "30", "-di", "30", "-r", "0", "-w", "0"};

std::string idle_line(int minutes)
{
    return "\n継続時間：" + std::to_string(minutes) + "分\n";
}

TEST(NoticeE2E, GivenBeforeTheActionAndCalledOffByABusyCheck)
{
    temp_dir fakes;
    // The sixth pass receives far over the threshold.
    write_script(fakes, "ifconfig", fake_ifconfig(6));
    // Only a file can set display level 0, which leaves the traffic lines out.
    const std::string quiet = fakes.write("quiet.conf", "DISP_LEVEL=0\n");
    run_options opt;
    opt.path = fakes.path;
    opt.args = idle_args;
    opt.args.insert(opt.args.end(), {"-rx", "100000", "-f", quiet, "-c", "echo ACTED", "-n", "-nt", "1",
                                     "-nr", "echo NOTICE $((6 * 7))"});
    const run_result r = run_lullwatcher(opt);
    ASSERT_FALSE(r.timed_out) << r.output;
    EXPECT_EQ(r.status, 0);
    const std::string notice = "満了予告：アイドルが続けば約1分00秒後に満了処理を行います。\nNOTICE 42\n";
    EXPECT_EQ(r.output,
              "\n監視開始\n\t満了時間：3 分、表示間隔：30 秒、判定間隔：30 秒\n"
              "\tネットワーク 閾値：(受信)100000 Byte/30秒\n" +
                  idle_line(0) + idle_line(0) + idle_line(1) + idle_line(1) + idle_line(2) + notice +
                  "\n継続時間：初期化(受信トラフィック閾値以上)\n"
                  "満了予告取り消し：アイドルが途切れたため、満了処理は行いません。\n" +
                  idle_line(0) + idle_line(1) + idle_line(1) + idle_line(2) + notice + idle_line(2) +
                  "監視満了!!\nACTED\n");
}

// Nothing but the stand-ins on PATH: any sync or shutdown would show.
TEST(DryRunE2E, NamesTheDefaultActionRunsNothingAndWatchesOn)
{
    const std::string dry = "監視満了!!\nドライランのため実行しません：sync; sync; sync; shutdown -h now\n";
    run_options opt;
    opt.path = "";
    opt.args = idle_args;
    opt.args.insert(opt.args.end(), {"-rx", "0", "-dr"});
    opt.until = dry + idle_line(0) + idle_line(1) + idle_line(1) + idle_line(2) + idle_line(2) + dry;
    run_result r = run_lullwatcher(opt);
    EXPECT_FALSE(r.timed_out) << r.output;
    EXPECT_EQ(r.output.find("fake-"), std::string::npos) << r.output;

    // With -n the first expiry ends the program as usual.
    opt.args.push_back("-n");
    opt.until.clear();
    r = run_lullwatcher(opt);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output.substr(r.output.size() - (idle_line(2) + dry).size()), idle_line(2) + dry) << r.output;
    EXPECT_EQ(r.output.find("fake-"), std::string::npos) << r.output;
}

}  // namespace
