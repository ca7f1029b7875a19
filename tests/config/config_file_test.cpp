// Reading configuration files: hand-over between files, unsafe files,
// hand-over cycles, and the search at start-up.
#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "config/config_file.h"
#include "config/config_helpers.h"
#include "core/startup.h"

namespace {

int open_descriptors()
{
    int count = 0;
    DIR* dir = opendir("/proc/self/fd");
    while (readdir(dir) != nullptr)
        count++;
    closedir(dir);
    return count;
}

// Runs the test body in another working directory.
class scoped_cwd {
public:
    explicit scoped_cwd(const std::string& dir)
    {
        char* cwd = getcwd(nullptr, 0);
        saved_ = cwd;
        free(cwd);
        EXPECT_EQ(chdir(dir.c_str()), 0);
    }
    ~scoped_cwd() { EXPECT_EQ(chdir(saved_.c_str()), 0); }

private:
    std::string saved_;
};

class ConfigFile : public ConfigTest {
protected:
    temp_dir dir;
};

TEST_F(ConfigFile, ExampleFileSetsEverythingItNames)
{
    const std::string path = dir.write("a.conf",
                                       "// idle watch settings\nEXFIRE_TIME=30\nCHECK_INTERVAL=60\n"
                                       "DISP_INTERVAL=10\nRX_THRESHOLD_KB=512\nREAD_THRESHOLD_MB=2\n"
                                       "DISP_LEVEL=2\nCOMMAND=shutdown -h now\n");
    expect_read(path, 1, "コマンド設定：shutdown -h now\n");
    expect_settings(settings_with([](settings_record& s) {
                        s.exfire_time = 1800;
                        s.rx_threshold = 512 * 1024;
                        s.read_threshold = 2048;
                        s.disp_level = 2;
                        strcpy(s.command, "shutdown -h now");
                    }),
                    path);
}

TEST_F(ConfigFile, MissingOrEmptyFile)
{
    expect_read(dir.path + "/none.conf", -1, "");
    expect_read(dir.write("empty.conf", ""), 1, "");
    expect_settings(settings_with(nullptr), "nothing read");
}

TEST_F(ConfigFile, HandOverReadsTheTargetAndNeverTheRest)
{
    const std::string b = dir.write("b.conf", "CHECK_INTERVAL=30\n");
    const std::string a = dir.write("a.conf", "EXFIRE_TIME=30\nFILE=" + b + "\nDISP_LEVEL=3\n");
    expect_read(a, 1, "");
    expect_settings(settings_with([](settings_record& s) {
                        s.exfire_time = 1800;
                        s.check_interval = 30;
                    }),
                    a);
}

TEST_F(ConfigFile, HandOverToAFileThatCannotBeOpenedKeepsWhatWasApplied)
{
    const std::string missing = dir.path + "/missing.conf";
    const struct {
        std::string target;
        std::string message;
    } cases[] = {
        {"", read_failure("")},
        {missing, read_failure(missing)},
        {missing + " ", read_failure(missing + " ")},
    };
    for (const auto& c : cases) {
        restart();
        dir.write("m.conf", "DISP_LEVEL=0\nFILE=" + c.target + "\nDISP_LEVEL=3\n");
        expect_read(dir.path + "/m.conf", -1, c.message);
        EXPECT_EQ(settings.disp_level, 0);
    }
}

TEST_F(ConfigFile, RelativeHandOverIsResolvedAgainstTheWorkingDirectory)
{
    ASSERT_EQ(mkdir((dir.path + "/sub").c_str(), 0755), 0);
    dir.write("b.conf", "DISP_LEVEL=2\n");
    dir.write("sub/b.conf", "DISP_LEVEL=3\n");
    dir.write("sub/a.conf", "FILE=b.conf\n");
    const scoped_cwd cwd(dir.path);
    expect_read("sub/a.conf", 1, "");
    EXPECT_EQ(settings.disp_level, 2);
}

TEST_F(ConfigFile, NoFileStaysOpen)
{
    const std::string b = dir.write("b.conf", "DISP_LEVEL=2\n");
    dir.write("a.conf", "FILE=" + b + "\n");
    dir.write("c.conf", "FILE=" + dir.path + "/none\n");
    dir.write("d.conf", "FILE=" + dir.path + "/d.conf\n");
    const int before = open_descriptors();
    int result = 0;
    for (const char* name : {"a.conf", "c.conf", "d.conf", "none"})
        read_file(dir.path + "/" + name, &result);
    EXPECT_EQ(open_descriptors(), before);
}

// A chain that comes back or runs too long is refused: the program must not
// start on half of what was written.
TEST_F(ConfigFile, HandOverCyclesAreRefusedWithWhatWasApplied)
{
    const std::string self = dir.path + "/self.conf";
    dir.write("self.conf", "EXFIRE_TIME=5\nFILE=" + self + "\n");
    const std::string a = dir.path + "/a.conf";
    const std::string b = dir.path + "/b.conf";
    dir.write("a.conf", "DISP_LEVEL=2\nFILE=" + b + "\n");
    dir.write("b.conf", "CHECK_INTERVAL=30\nFILE=" + a + "\n");
    ASSERT_EQ(symlink(self.c_str(), (dir.path + "/link.conf").c_str()), 0);
    dir.write("viaLink.conf", "FILE=" + dir.path + "/link.conf\n");

    expect_read(self, config_read_refused, "設定ファイルの引き継ぎが循環しています：" + self + "\n");
    EXPECT_EQ(settings.exfire_time, 300);

    expect_read(a, config_read_refused, "設定ファイルの引き継ぎが循環しています：" + a + "\n");
    EXPECT_EQ(settings.disp_level, 2);
    EXPECT_EQ(settings.check_interval, 30);

    // Another path to a file already read is the same file.
    expect_read(dir.path + "/link.conf", config_read_refused, "設定ファイルの引き継ぎが循環しています：" + self + "\n");
}

TEST_F(ConfigFile, LongHandOverChainsAreRefused)
{
    // 70 distinct files, each naming the next.
    for (int i = 0; i < 70; i++)
        dir.write("c" + std::to_string(i) + ".conf",
                  "DISP_LEVEL=" + std::to_string(i) + "\nFILE=" + dir.path + "/c" + std::to_string(i + 1) + ".conf\n");
    expect_read(dir.path + "/c0.conf", config_read_refused,
                "設定ファイルの引き継ぎが多すぎます：" + dir.path + "/c64.conf\n");
    EXPECT_EQ(settings.disp_level, 63);
}

// The search without arguments: the working directory first, then the
// system file.
class ConfigSearch : public ConfigFile {
protected:
    void SetUp() override
    {
        ConfigFile::SetUp();
        saved_system_ = system_config_path;
        system_path_ = system_dir.path + "/lullwatcher.conf";
        system_config_path = system_path_.c_str();
    }
    void TearDown() override
    {
        system_config_path = saved_system_;
        ConfigFile::TearDown();
    }
    std::string search(bool* starts)
    {
        const scoped_cwd cwd(dir.path);
        system_config_path = system_path_.c_str();  // restart() puts it back
        return capture_stdout([&] { *starts = read_default_config(); });
    }
    temp_dir system_dir;
    std::string system_path_;

private:
    const char* saved_system_ = nullptr;
};

struct search_case {
    const char* title;
    const char* local;  // nullptr: none; "/": a directory in its place
    int local_mode;
    const char* system;  // nullptr: none
    std::function<void(settings_record&)> change;
    std::function<std::string(const std::string& local, const std::string& system)> output;  // nullptr: ""
    bool starts = true;
    int system_mode = 0644;
};

std::string other_writable(const std::string& path)
{
    return "設定ファイルを使用しません（他のユーザーが書き込み可能）：" + path + "\n";
}

TEST_F(ConfigSearch, LocalFileFirstThenTheSystemFile)
{
    const auto check_interval_30 = [](settings_record& s) { s.check_interval = 30; };
    const search_case cases[] = {
        {"local wins, the system file is not read", "DISP_LEVEL=2\n", 0644, "CHECK_INTERVAL=30\n",
         [](settings_record& s) { s.disp_level = 2; }, nullptr},
        {"system file when no local one", nullptr, 0, "CHECK_INTERVAL=30\n", check_interval_30, nullptr},
        {"neither file names the system path", nullptr, 0, nullptr, nullptr,
         [](const std::string&, const std::string& system) { return read_failure(system); }},
        {"directory in place of the local file", "/", 0, "CHECK_INTERVAL=30\n", check_interval_30, nullptr},
        // An unsafe file stops the start, whatever the other file holds.
        {"unsafe local file", "COMMAND=evil\n", 0666, "CHECK_INTERVAL=30\n", nullptr,
         [](const std::string& local, const std::string&) { return other_writable(local); }, false},
        {"unsafe system file", nullptr, 0, "CHECK_INTERVAL=30\n", nullptr,
         [](const std::string&, const std::string& system) { return other_writable(system); }, false, 0666},
        {"failed hand-over in the local file", "DISP_LEVEL=2\nFILE=gone.conf\n", 0644, "CHECK_INTERVAL=30\n",
         [](settings_record& s) { s.disp_level = 2, s.check_interval = 30; },
         [](const std::string&, const std::string&) { return read_failure("gone.conf"); }},
    };
    const std::string local = dir.path + "/lullwatcher.conf";
    for (const search_case& c : cases) {
        restart();
        remove(local.c_str());
        remove(system_path_.c_str());
        if (c.local != nullptr && std::string(c.local) == "/")
            ASSERT_EQ(mkdir(local.c_str(), 0755), 0);
        else if (c.local != nullptr)
            dir.write("lullwatcher.conf", c.local, c.local_mode);
        if (c.system != nullptr)
            system_dir.write("lullwatcher.conf", c.system, c.system_mode);
        bool starts = !c.starts;
        EXPECT_EQ(search(&starts), c.output ? c.output(local, system_path_) : "") << c.title;
        EXPECT_EQ(starts, c.starts) << c.title;
        expect_settings(settings_with(c.change), c.title);
    }
    // A directory named as a file is not read.
    expect_read(dir.path, -1, "");
}

}  // namespace
