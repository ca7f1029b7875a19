// End-to-end runs of the built binary: start-up and the default expiry
// action. Every run finds harmless stand-ins for shutdown and sync first on
// its PATH; runs that reach the default action have ONLY those on PATH.
#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <vector>

#include "support/test_support.h"

namespace {

bool system_config_exists()
{
    struct stat st;
    return stat("/etc/lullwatcher/lullwatcher.conf", &st) == 0;
}

TEST(StartupE2E, WithoutAnyFileRunsOnDefaultsAndRunsTheDefaultAction)
{
    if (system_config_exists())
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

// Short times, no sampling, one expiry, then the end.
const std::vector<std::string> quick_expiry = {"-ex", "1", "-ci", "10", "-di", "10", "-n",
                                               "-rx", "0",  "-r",  "0",  "-w",  "0"};

std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string>& more)
{
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

const std::string quick_banner =
    "\n監視開始\n"
    "\t満了時間：1 分、表示間隔：10 秒、判定間隔：10 秒\n";
const std::string five_idle_checks =
    "\n継続時間：0分\n\n継続時間：0分\n\n継続時間：0分\n\n継続時間：0分\n\n継続時間：0分\n";

TEST(StartupE2E, InconsistentTimesAreRefusedBeforeTheBanner)
{
    run_options opt;
    opt.args = {"-c", "true", "-di", "61", "-ci", "60"};
    const run_result r = run_lullwatcher(opt);
    EXPECT_EQ(r.output,
              "時間設定に誤りがあります。\n表示間隔 ＜ チェック間隔 ＜ 満了時間で設定してください。\n"
              "現状： 61 60 600\n");
    EXPECT_EQ(r.status, 255);
}

TEST(StartupE2E, OneExpiryWithTheGivenCommandThenTheEnd)
{
    run_options opt;
    opt.path = "";
    opt.args = with(quick_expiry, {"-c", "echo expired"});
    const run_result r = run_lullwatcher(opt);
    ASSERT_FALSE(r.timed_out) << r.output;
    EXPECT_EQ(r.output, quick_banner + five_idle_checks + "監視満了!!\nexpired\n");
    EXPECT_EQ(r.status, 0);
}

TEST(StartupE2E, HelpEndsWithStatus255)
{
    run_options opt;
    opt.args = {"-c", "true", "-h"};
    const run_result r = run_lullwatcher(opt);
    EXPECT_EQ(r.output.rfind("名前\n\tlullwatcher -  オートシャットダウン\n", 0), 0u) << r.output;
    EXPECT_EQ(r.output.find("監視開始"), std::string::npos);
    EXPECT_EQ(r.status, 255);
}

TEST(StartupE2E, AnyArgumentSuppressesTheFileSearch)
{
    temp_dir cwd;
    cwd.write("lullwatcher.conf", "COMMAND=echo from-file\nDISP_LEVEL=3\n");
    run_options opt;
    opt.cwd = cwd.path;
    opt.path = "";
    opt.args = with(quick_expiry, {"-c", "echo from-args"});
    const run_result r = run_lullwatcher(opt);
    EXPECT_EQ(r.output, quick_banner + five_idle_checks + "監視満了!!\nfrom-args\n");
    EXPECT_EQ(r.status, 0);
}

TEST(StartupE2E, WithoutArgumentsTheFileInTheWorkingDirectoryIsRead)
{
    temp_dir cwd;
    cwd.write("lullwatcher.conf",
              "// quick test run\nCOMMAND=echo from-file\nEXFIRE_TIME=1\nCHECK_INTERVAL=10\n"
              "DISP_INTERVAL=10\nNOT_ROOP\nRX_THRESHOLD=0\nREAD_THRESHOLD=0\nWRITE_THRESHOLD=0\n");
    run_options opt;
    opt.cwd = cwd.path;
    opt.path = "";  // only the stand-ins, should the file not be read
    const run_result r = run_lullwatcher(opt);
    EXPECT_EQ(r.output, "コマンド設定：echo from-file\n" + quick_banner + five_idle_checks + "監視満了!!\nfrom-file\n");
    EXPECT_EQ(r.status, 0);
}

}  // namespace
