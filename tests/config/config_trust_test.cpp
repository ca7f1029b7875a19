// Which configuration files are used: only those that nobody but root and
// the user running the program can have written or replaced.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "config/config_helpers.h"

namespace {

const std::string content = "DISP_LEVEL=3\nEVENT=event1\nCOMMAND=echo evil\n";
constexpr uid_t nobody = 65534;

class ConfigTrust : public ConfigTest {
protected:
    void SetUp() override
    {
        ConfigTest::SetUp();
        if (geteuid() != 0)
            GTEST_SKIP() << "giving files away needs root";
        char* real = realpath(dir.path.c_str(), nullptr);
        real_ = real;
        free(real);
        // Directories and files of every kind the cases read.
        subdir("pub", 0777, 0, 0);
        subdir("grp", 0775, 0, nobody);
        subdir("grp/sub", 0755, 0, 0);
        subdir("theirs", 0755, nobody, nobody);
        subdir("sticky", 01777, 0, 0);
        for (const char* name : {"pub/a", "grp/sub/a", "theirs/a", "sticky/a", "safe", "other"})
            dir.write(name, content);
        EXPECT_EQ(chown((dir.path + "/other").c_str(), nobody, nobody), 0);
        EXPECT_EQ(chown(dir.write("group", content, 0664).c_str(), 0, nobody), 0);
        dir.write("group-root", content, 0664);
        dir.write("read-only", content, 0400);
        dir.write("open", content, 0646);
        EXPECT_EQ(symlink((dir.path + "/open").c_str(), (dir.path + "/link-open").c_str()), 0);
        EXPECT_EQ(symlink((dir.path + "/safe").c_str(), (dir.path + "/link-safe").c_str()), 0);
        EXPECT_EQ(mkfifo((dir.path + "/fifo").c_str(), 0600), 0);
    }
    void subdir(const std::string& name, mode_t mode, uid_t owner, gid_t group)
    {
        const std::string path = dir.path + "/" + name;
        EXPECT_EQ(mkdir(path.c_str(), 0700), 0);
        EXPECT_EQ(chown(path.c_str(), owner, group), 0);
        EXPECT_EQ(chmod(path.c_str(), mode), 0);
    }
    temp_dir dir;
    std::string real_;  // dir.path with every link resolved, as the lines show it
};

TEST_F(ConfigTrust, UnsafeFilesAreRefusedWithTheirReasonAndNothingApplied)
{
    const struct {
        std::string name;    // below the test's directory, or absolute
        std::string reason;  // "DIR" stands for the resolved test directory
    } cases[] = {
        {"group", "他のユーザーが書き込み可能"},
        {"open", "他のユーザーが書き込み可能"},
        {"link-open", "他のユーザーが書き込み可能"},
        {"other", "所有者が root でも実行ユーザーでもありません"},
        {"pub/a", "ディレクトリ DIR/pub を他のユーザーが書き換え可能"},
        {"grp/sub/a", "ディレクトリ DIR/grp を他のユーザーが書き換え可能"},
        {"theirs/a", "ディレクトリ DIR/theirs の所有者が root でも実行ユーザーでもありません"},
        {"fifo", "通常のファイルではありません"},
        {"/dev/null", "通常のファイルではありません"},
    };
    for (const auto& c : cases) {
        restart();
        const std::string path = c.name[0] == '/' ? c.name : dir.path + "/" + c.name;
        std::string reason = c.reason;
        if (reason.find("DIR") != std::string::npos)
            reason.replace(reason.find("DIR"), 3, real_);
        expect_read(path, config_read_refused, "設定ファイルを使用しません（" + reason + "）：" + path + "\n");
        expect_settings(settings_with(nullptr), c.name);
        EXPECT_TRUE(registered_events().empty()) << c.name;
    }
}

TEST_F(ConfigTrust, SafeFilesAreRead)
{
    // Group root may write; others may write a sticky directory, but not
    // replace root's entry in it.
    for (const char* name : {"safe", "group-root", "read-only", "sticky/a", "link-safe"}) {
        restart();
        int result = 0;
        read_file(dir.path + "/" + name, &result);
        EXPECT_EQ(result, 1) << name;
        EXPECT_EQ(settings.disp_level, 3) << name;
        EXPECT_STREQ(settings.command, "echo evil") << name;
    }
}

TEST_F(ConfigTrust, UnsafeHandOverTargetIsRefused)
{
    const std::string a = dir.write("a.conf", "DISP_LEVEL=2\nFILE=" + dir.path + "/open\nDISP_LEVEL=3\n");
    expect_read(a, config_read_refused, "設定ファイルを使用しません（他のユーザーが書き込み可能）：" + dir.path + "/open\n");
    EXPECT_STREQ(settings.command, "");
}

}  // namespace
