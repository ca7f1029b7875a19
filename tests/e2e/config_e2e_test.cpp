// End-to-end runs of the built binary with configuration files and options.
// Runs that could reach the default expiry action have only the harmless
// stand-ins for shutdown and sync on their PATH.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

const std::string quick_file =
    "COMMAND=echo from-file\nEXFIRE_TIME=1\nCHECK_INTERVAL=10\nDISP_INTERVAL=10\nNOT_ROOP\n"
    "RX_THRESHOLD=0\nREAD_THRESHOLD=0\nWRITE_THRESHOLD=0\n";
const std::string quick_run =
    "\n監視開始\n"
    "\t満了時間：1 分、表示間隔：10 秒、判定間隔：10 秒\n"
    "\n継続時間：0分\n\n継続時間：0分\n\n継続時間：0分\n\n継続時間：0分\n\n継続時間：0分\n"
    "監視満了!!\n";

TEST(ConfigE2E, FileNamedByAnOptionOverridesWhatCameBefore)
{
    temp_dir dir;
    const std::string conf = dir.write("quick.conf", quick_file);
    run_options opt;
    opt.path = "";
    opt.args = {"-c", "echo from-args", "-f", conf};
    const run_result r = run_lullwatcher(opt);
    EXPECT_EQ(r.output, "コマンド設定：echo from-file\n" + quick_run + "from-file\n");
    EXPECT_EQ(r.status, 0);
}

TEST(ConfigE2E, FileInTheWorkingDirectoryThatOthersCanWriteIsNotUsed)
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

TEST(ConfigE2E, HandOverCycleIsReportedAndStartUpGoesOn)
{
    temp_dir dir;
    const std::string conf = dir.path + "/loop.conf";
    dir.write("loop.conf", quick_file + "FILE=" + conf + "\n");
    run_options opt;
    opt.path = "";
    opt.args = {"-f", conf};
    const run_result r = run_lullwatcher(opt);
    EXPECT_EQ(r.output, "コマンド設定：echo from-file\n"
                        "設定ファイルの引き継ぎが循環しています：" + conf + "\n"
                        "設定ファイルの読み込み失敗:" + conf + "\n" + quick_run + "from-file\n");
    EXPECT_EQ(r.status, 0);
}

TEST(ConfigE2E, RefusedArgumentsEndWithStatus255)
{
    const struct {
        std::vector<std::string> args;
        std::string output;
    } cases[] = {
        {{"-c", "true", "-so", "kernal"},
         "対応しないパラメータ：kernal\n起動できませんでした。--helpで確認してください。\n"},
        {{"-c", "true", "-zz", "-h"},
         "対応しないパラメータ：-zz\n起動できませんでした。--helpで確認してください。\n"},
        {{"-c", std::string(600, 'x')}, "コマンドが長すぎます（600 バイト、上限 511 バイト）\n起動できませんでした。\n"},
    };
    for (const auto& c : cases) {
        run_options opt;
        opt.path = "";
        opt.args = c.args;
        const run_result r = run_lullwatcher(opt);
        EXPECT_EQ(r.output, c.output);
        EXPECT_EQ(r.status, 255);
    }
}

}  // namespace
