// End-to-end runs of the built binary: start-up and the default expiry
// action. Every run finds harmless stand-ins for shutdown and sync first on
// its PATH; runs that reach the default action have ONLY those on PATH.
#include <gtest/gtest.h>

#include <sys/stat.h>

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

}  // namespace
