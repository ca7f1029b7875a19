// English on request: the banner, the help and its refusals, and the lines
// of a file read without arguments, on a machine whose locale is C.UTF-8.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

bool ascii_only(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

run_result run_english(const std::vector<std::string>& args, const std::string& cwd = "")
{
    run_options opt;
    opt.path = "";
    opt.args = args;
    opt.cwd = cwd;
    opt.env = {{"LANG", "C.UTF-8"}, {"LC_ALL", "C.UTF-8"}};
    return run_lullwatcher(opt);
}

TEST(MessagesE2E, BannerAndWatchLinesInEnglish)
{
    const run_result r = run_english({"-ms", "en", "-c", "true", "-ex", "1", "-ci", "10", "-di", "10", "-n",
                                      "-rxk", "1", "-tx", "0", "-r", "0", "-w", "0"});
    const std::string banner = "\nwatching started\n"
                               "\texpiry time: 1 min, display interval: 10 s, check interval: 10 s\n"
                               "\tnetwork threshold: (received) 1024 bytes/10 s\n";
    EXPECT_EQ(r.output.substr(0, banner.size()), banner);
    EXPECT_NE(r.output.find("idle time expired!\n"), std::string::npos);
    EXPECT_TRUE(ascii_only(r.output)) << r.output;
    EXPECT_EQ(r.status, 0);
}

TEST(MessagesE2E, HelpAndRefusalsFollowTheCommandLinesChoice)
{
    const std::string refused = "unknown option: -zz\ncould not start; see --help.\n";
    for (const auto& args : std::vector<std::vector<std::string>>{{"-ms", "en", "-zz"}, {"-zz", "-ms", "en"}}) {
        const run_result r = run_english(args);
        EXPECT_EQ(r.output, refused);
        EXPECT_EQ(r.status, 255);
    }
    const run_result help = run_english({"-h", "-ms", "en"});
    EXPECT_EQ(help.output.rfind("NAME\n\tlullwatcher - automatic shutdown\n", 0), 0u) << help.output;
    EXPECT_TRUE(ascii_only(help.output)) << help.output;
}

TEST(MessagesE2E, FileReadWithoutArgumentsChoosesForItsOwnLines)
{
    temp_dir cwd;
    cwd.write("lullwatcher.conf", "BOGUS\nCOMMAND=true\nMESSAGES=en\n");
    const run_result r = run_english({"-t"}, cwd.path);
    EXPECT_EQ(r.output.rfind("configuration file error: BOGUS\ncommand set: true\nCOMMAND=true\n", 0), 0u) << r.output;
    EXPECT_TRUE(ascii_only(r.output)) << r.output;
}

}  // namespace
