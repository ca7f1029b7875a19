// The command line with files named by "-f".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/args.h"
#include "config/config_helpers.h"

namespace {

class ArgsFile : public ConfigTest {
protected:
    temp_dir dir;
};

TEST_F(ArgsFile, FileAppliesAtItsPlaceAmongTheArguments)
{
    const std::string conf = dir.write("a.conf", "EXFIRE_TIME=30\nDISP_LEVEL=2\n");
    int result = 99;
    EXPECT_EQ(parse_args({"-ex", "5", "-f", conf}, &result), "");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(settings.exfire_time, 1800);  // the file overrides what came before

    reset_program_state();
    EXPECT_EQ(parse_args({"--file", conf, "-ex", "5", "-l", "3"}, &result), "");
    EXPECT_EQ(settings.exfire_time, 300);  // and is overridden by what follows
    EXPECT_EQ(settings.disp_level, 3);
}

TEST_F(ArgsFile, CommandWithoutValueThenFile)
{
    const std::string conf = dir.write("a.conf", "DISP_LEVEL=2\n");
    int result = 99;
    EXPECT_EQ(parse_args({"-c", "-f", conf}, &result), "");
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(settings.command, "");
    EXPECT_EQ(settings.disp_level, 2);
}

TEST_F(ArgsFile, FileThatCannotBeReadIsReportedAndParsingGoesOn)
{
    const std::string missing = dir.path + "/missing.conf";
    const std::string open = dir.write("open.conf", "COMMAND=evil\n", 0666);
    const std::string nested = dir.write("nested.conf", "DISP_LEVEL=2\nFILE=" + missing + "\n");
    int result = 99;
    EXPECT_EQ(parse_args({"-f", missing, "-l", "3"}, &result), "設定ファイルの読み込み失敗:" + missing + "\n");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(settings.disp_level, 3);

    EXPECT_EQ(parse_args({"-f", open}, &result),
              "設定ファイルを使用しません（他のユーザーが書き込み可能）：" + open + "\n"
              "設定ファイルの読み込み失敗:" + open + "\n");
    EXPECT_STREQ(settings.command, "");

    // The nested failure and the command line's own message both appear.
    EXPECT_EQ(parse_args({"-f", nested}, &result),
              "設定ファイルの読み込み失敗:" + missing + "\n設定ファイルの読み込み失敗:" + nested + "\n");
    EXPECT_EQ(settings.disp_level, 2);
}

TEST_F(ArgsFile, NewSettingsFromAFile)
{
    const std::string conf = dir.write("a.conf", "COUNTER_SOURCE=kernel\nDISK_PREFIXES=sd,nvme\n");
    int result = 99;
    EXPECT_EQ(parse_args({"-dp", "vd", "-f", conf}, &result), "");
    EXPECT_EQ(settings.counter_source, counter_source_kernel);
    EXPECT_STREQ(settings.disk_prefixes, "sd,nvme");
}

}  // namespace
