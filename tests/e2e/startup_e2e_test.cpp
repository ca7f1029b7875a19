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

TEST(StartupE2E, FileInTheWorkingDirectoryThatOthersCanWriteIsNotUsed)
{
    temp_dir cwd;
    const std::string conf = cwd.write("lullwatcher.conf", quick_file, 0666);
    run_options opt;
    opt.cwd = cwd.path;
    opt.path = "";  // the defaults apply: only the stand-ins
    opt.until = "\n監視開始\n";
    const run_result r = run_lullwatcher(opt);
    const std::string refusal = "設定ファイルを使用しません（他のユーザーが書き込み可能）：" + conf + "\n";
    EXPECT_EQ(r.output.rfind(refusal, 0), 0u) << r.output;
    EXPECT_EQ(r.output.find("from-file"), std::string::npos) << r.output;
}

TEST(StartupE2E, FileNamedByAnOptionOverridesWhatCameBeforeAndCyclesAreReported)
{
    temp_dir dir;
    const std::string conf = dir.write("quick.conf", quick_file);
    run_result r = run_guarded({"-c", "echo from-args", "-f", conf});
    EXPECT_EQ(r.output, command_from_file + quick_run + "from-file\n");
    EXPECT_EQ(r.status, 0);

    const std::string loop = dir.path + "/loop.conf";
    dir.write("loop.conf", quick_file + "FILE=" + loop + "\n");
    r = run_guarded({"-f", loop});
    EXPECT_EQ(r.output, command_from_file + "設定ファイルの引き継ぎが循環しています：" + loop + "\n" +
                            "設定ファイルの読み込み失敗:" + loop + "\n" + quick_run + "from-file\n");
    EXPECT_EQ(r.status, 0);
}

TEST(StartupE2E, RefusalsEndWithStatus255BeforeTheBanner)
{
    const struct {
        std::vector<std::string> args;
        std::string output;
        bool start_only;  // the help: only its start is compared here
    } cases[] = {
        {{"-c", "true", "-di", "61", "-ci", "60"},
         "時間設定に誤りがあります。\n表示間隔 ＜ チェック間隔 ＜ 満了時間で設定してください。\n現状： 61 60 600\n", false},
        {{"-c", "true", "-so", "kernal"},
         "対応しないパラメータ：kernal\n起動できませんでした。--helpで確認してください。\n", false},
        {{"-c", "true", "-zz", "-h"},
         "対応しないパラメータ：-zz\n起動できませんでした。--helpで確認してください。\n", false},
        {{"-c", std::string(600, 'x')}, "コマンドが長すぎます（600 バイト、上限 511 バイト）\n起動できませんでした。\n", false},
        {{"-c", "true", "-h"}, "名前\n\tlullwatcher -  オートシャットダウン\n", true},
    };
    for (const auto& c : cases) {
        const run_result r = run_guarded(c.args);
        EXPECT_EQ(c.start_only ? r.output.substr(0, c.output.size()) : r.output, c.output);
        EXPECT_EQ(r.output.find("監視開始"), std::string::npos);
        EXPECT_EQ(r.status, 255) << r.output;
    }
}

}  // namespace
