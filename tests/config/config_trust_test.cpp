// Which configuration files are used: only those that nobody but root and
// the user running the program can have written or replaced.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "config/config_helpers.h"

namespace {

const std::string content = "DISP_LEVEL=3\nEVENT=event1\nCOMMAND=echo evil\n";
constexpr uid_t nobody = 65534;

std::string refusal(const std::string& reason, const std::string& path)
{
    return "設定ファイルを使用しません（" + reason + "）：" + path + "\n";
}

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
    }
    // A subdirectory of the test's own, with its mode and owner.
    std::string subdir(const std::string& name, mode_t mode, uid_t owner = 0, gid_t group = 0)
    {
        const std::string path = dir.path + "/" + name;
        EXPECT_EQ(mkdir(path.c_str(), 0700), 0);
        EXPECT_EQ(chown(path.c_str(), owner, group), 0);
        EXPECT_EQ(chmod(path.c_str(), mode), 0);
        return path;
    }
    temp_dir dir;
    std::string real_;  // dir.path with every link resolved, as the lines show it
};

struct trust_case {
    const char* title;
    // Makes the file to read; returns its path and sets the expected line.
    std::function<std::string(std::string* line)> make;
};

TEST_F(ConfigTrust, UnsafeFilesAreRefusedWithTheirReasonAndNothingApplied)
{
    const std::string writable = "他のユーザーが書き込み可能";
    const std::string special = "通常のファイルではありません";
    const trust_case cases[] = {
        {"group-writable file", [&](std::string* line) {
             const std::string path = dir.write("g.conf", content, 0664);
             EXPECT_EQ(chown(path.c_str(), 0, nobody), 0);
             *line = refusal(writable, path);
             return path;
         }},
        {"file writable by others", [&](std::string* line) {
             const std::string path = dir.write("o.conf", content, 0646);
             *line = refusal(writable, path);
             return path;
         }},
        {"file of another user", [&](std::string* line) {
             const std::string path = dir.write("u.conf", content);
             EXPECT_EQ(chown(path.c_str(), nobody, nobody), 0);
             *line = refusal("所有者が root でも実行ユーザーでもありません", path);
             return path;
         }},
        {"symlink to a writable file", [&](std::string* line) {
             const std::string target = dir.write("w.conf", content, 0666);
             const std::string path = dir.path + "/link.conf";
             EXPECT_EQ(symlink(target.c_str(), path.c_str()), 0);
             *line = refusal(writable, path);
             return path;
         }},
        {"writable parent directory", [&](std::string* line) {
             subdir("pub", 0777);
             const std::string path = dir.write("pub/a.conf", content);
             *line = refusal("ディレクトリ " + real_ + "/pub を他のユーザーが書き換え可能", path);
             return path;
         }},
        {"group-writable parent of a parent", [&](std::string* line) {
             subdir("grp", 0775, 0, nobody);
             subdir("grp/sub", 0755);
             const std::string path = dir.write("grp/sub/a.conf", content);
             *line = refusal("ディレクトリ " + real_ + "/grp を他のユーザーが書き換え可能", path);
             return path;
         }},
        {"parent directory of another user", [&](std::string* line) {
             subdir("theirs", 0755, nobody, nobody);
             const std::string path = dir.write("theirs/a.conf", content);
             *line = refusal("ディレクトリ " + real_ + "/theirs の所有者が root でも実行ユーザーでもありません", path);
             return path;
         }},
        {"FIFO", [&](std::string* line) {
             const std::string path = dir.path + "/fifo.conf";
             EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
             *line = refusal(special, path);
             return path;
         }},
        {"device node", [&](std::string* line) {
             *line = refusal(special, "/dev/null");
             return std::string("/dev/null");
         }},
    };
    for (const trust_case& c : cases) {
        restart();
        std::string line;
        const std::string path = c.make(&line);
        SCOPED_TRACE(c.title);
        expect_read(path, config_read_refused, line);
        expect_settings(settings_with(nullptr), c.title);
        EXPECT_TRUE(registered_events().empty());
    }
}

TEST_F(ConfigTrust, SafeFilesAreRead)
{
    const trust_case cases[] = {
        {"group root may write", [&](std::string*) { return dir.write("g.conf", content, 0664); }},
        {"read-only", [&](std::string*) { return dir.write("r.conf", content, 0400); }},
        // Others may write a sticky directory, but not replace root's entry.
        {"in a sticky directory", [&](std::string*) {
             subdir("tmp", 01777);
             return dir.write("tmp/a.conf", content);
         }},
        {"symlink to a safe file", [&](std::string*) {
             const std::string path = dir.path + "/safe-link.conf";
             EXPECT_EQ(symlink(dir.write("s.conf", content).c_str(), path.c_str()), 0);
             return path;
         }},
    };
    for (const trust_case& c : cases) {
        restart();
        const std::string path = c.make(nullptr);
        SCOPED_TRACE(c.title);
        int result = 0;
        read_file(path, &result);
        EXPECT_EQ(result, 1);
        EXPECT_EQ(settings.disp_level, 3);
        EXPECT_STREQ(settings.command, "echo evil");
    }
}

TEST_F(ConfigTrust, UnsafeHandOverTargetIsRefused)
{
    const std::string open = dir.write("open.conf", "COMMAND=evil\n", 0646);
    const std::string a = dir.write("a.conf", "DISP_LEVEL=2\nFILE=" + open + "\nDISP_LEVEL=3\n");
    expect_read(a, config_read_refused, refusal("他のユーザーが書き込み可能", open));
    EXPECT_STREQ(settings.command, "");
}

}  // namespace
